// Small text helpers shared by messages and readers.
#pragma once

#include <cstddef>
#include <expected>
#include <span>
#include <string>
#include <system_error>
#include <string_view>

namespace kestro {

bool is_valid_utf8(std::string_view bytes);

// Length of the valid UTF-8 sequence that starts at `bytes[i]`, or 0 when the
// bytes there are no valid sequence.
size_t utf8_sequence_length(std::string_view bytes, size_t i);

// Appends the UTF-8 encoding of a Unicode scalar value.
void append_utf8(std::string& out, char32_t code_point);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// Decodes the UTF-8 sequence at `text[i]` into `*code_point` and returns its
// length in bytes, or 0 when the bytes there are no valid sequence.
std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t* code_point);

// The character starting at `text[i]` for messages: "`c`" for printable
// ASCII, "U+XXXX" otherwise (U+FFFD for an invalid UTF-8 byte).
std::string describe_char_at(std::string_view text, std::size_t i);

// A text as a quoted, escaped literal: "a\0b", control characters as \u{..}.
std::string debug_quote(std::string_view text);
// Texts as a bracketed list of quoted literals: `["a", "b"]`, `[]`.
std::string debug_list(std::span<const std::string> texts);

// A read position in a text, for small hand-written parsers.
struct TextCursor {
  std::string_view text;
  std::size_t i = 0;

  bool at_end() const { return i >= text.size(); }
  // The byte at the cursor, or '\0' at the end.
  char peek() const { return at_end() ? '\0' : text[i]; }
  // Steps over `c` when it is next.
  bool eat(char c) {
    if (at_end() || text[i] != c) return false;
    ++i;
    return true;
  }
  // "end of input", or the character at the cursor as describe_char_at.
  std::string found() const { return at_end() ? "end of input" : describe_char_at(text, i); }
};

// The double nearest to a decimal number text: an optional `-`, digits, an
// optional fraction and an optional exponent, nothing else. The process
// locale plays no part. A value too small for a double is a zero of the
// text's sign; one too large fails with result_out_of_range, any other text
// with invalid_argument.
std::expected<double, std::errc> parse_decimal_double(std::string_view text);

// The text with A-Z lowered; every other byte unchanged.
std::string ascii_lowercase(std::string_view text);

}  // namespace kestro
