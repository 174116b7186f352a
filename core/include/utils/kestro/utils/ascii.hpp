// ASCII character classes for the readers and writers of text formats. They
// look at the byte alone, never at the locale, and every byte outside ASCII
// (a UTF-8 lead or continuation byte) belongs to none of them.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestro {

constexpr bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_ascii_lower(char c) { return c >= 'a' && c <= 'z'; }
constexpr bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_ascii_alpha(char c) { return is_ascii_lower(c) || is_ascii_upper(c); }
constexpr bool is_ascii_alnum(char c) { return is_ascii_alpha(c) || is_ascii_digit(c); }

// The value of a hexadecimal digit (either case), or -1.
constexpr int hex_digit_value(char c) {
  if (is_ascii_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
constexpr bool is_ascii_hex_digit(char c) { return hex_digit_value(c) >= 0; }

// U+0000 to U+001F and U+007F.
constexpr bool is_ascii_control(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b < 0x20 || b == 0x7F;
}

// A blank within a line: space or horizontal tab.
constexpr bool is_ascii_blank(char c) { return c == ' ' || c == '\t'; }

// Whether every byte of the text is ASCII.
constexpr bool is_ascii_text(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

constexpr char to_ascii_lower(char c) { return is_ascii_upper(c) ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the texts are equal once ASCII upper-case letters are lowered.
constexpr bool eq_ignore_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (to_ascii_lower(a[i]) != to_ascii_lower(b[i])) return false;
  return true;
}

}  // namespace kestro
