// Small text helpers shared by messages and readers.
#pragma once

#include <string>
#include <string_view>

namespace kestro {

bool is_valid_utf8(std::string_view bytes);

// Length of the valid UTF-8 sequence that starts at `bytes[i]`, or 0 when the
// bytes there are no valid sequence.
size_t utf8_sequence_length(std::string_view bytes, size_t i);

// The value of a hexadecimal digit (either case), or -1.
int hex_digit_value(char c);

// Appends the UTF-8 encoding of a Unicode scalar value.
void append_utf8(std::string& out, char32_t code_point);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// A text as a quoted, escaped literal: "a\0b", control characters as \u{..}.
std::string debug_quote(std::string_view text);

}  // namespace kestro
