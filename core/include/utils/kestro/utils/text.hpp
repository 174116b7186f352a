// Small text helpers shared by messages and readers.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <ranges>
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

// Debug forms: the diagnostic rendering of an error's fields, one shape for
// every error family.
// A text as a quoted, escaped literal: "a\0b"; characters that are not
// printable (controls, format, unassigned, separators but the blank) and
// combining marks as \u{..}.
std::string debug_quote(std::string_view text);
// Items as a bracketed list, each in the form `form` gives it: `[a, b]`, `[]`.
template <std::ranges::input_range R, typename Form>
std::string debug_list(const R& items, Form&& form) {
  std::string out = "[";
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ", ";
    first = false;
    out += form(item);
  }
  return out + "]";
}
// Texts as a bracketed list of quoted literals: `["a", "b"]`, `[]`.
inline std::string debug_list(std::span<const std::string> texts) { return debug_list(texts, debug_quote); }
// An optional field: `Some({form of the value})` or `None`.
template <typename T, typename Form>
std::string debug_option(const std::optional<T>& value, Form&& form) {
  return value ? "Some(" + form(*value) + ")" : std::string("None");
}
// An optional text: `Some("value")` or `None`.
template <typename T>
std::string debug_option(const std::optional<T>& text) {
  return debug_option(text, debug_quote);
}

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
