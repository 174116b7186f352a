#include "kestro/utils/text.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include <fmt/format.h>
#include <unicode/uchar.h>

#include "kestro/utils/ascii.hpp"

namespace kestro {

namespace {

// Bytes that make up one maximal invalid prefix (one U+FFFD each).
size_t invalid_prefix_length(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
  size_t k = 1;
  while (k < want && i + k < s.size()) {
    unsigned char ck = static_cast<unsigned char>(s[i + k]);
    if ((ck & 0xC0) != 0x80) break;
    if (k == 1 && ((c == 0xE0 && ck < 0xA0) || (c == 0xED && ck > 0x9F) ||
                   (c == 0xF0 && ck < 0x90) || (c == 0xF4 && ck > 0x8F) || c > 0xF4))
      break;
    ++k;
  }
  return k;
}

// The decimal exponent of the leading nonzero digit of a number text without
// sign, to tell an overflow from an underflow; the lowest value for zero.
long long leading_exponent(std::string_view t) {
  size_t e = t.find_first_of("eE");
  std::string_view mantissa = t.substr(0, e);
  long long exp = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = t.substr(e + 1);
    bool neg = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    for (char c : digits) exp = std::min<long long>(exp * 10 + (c - '0'), 1LL << 40);
    if (neg) exp = -exp;
  }
  size_t dot = mantissa.find('.');
  std::string_view whole = mantissa.substr(0, dot);
  size_t first = whole.find_first_not_of('0');
  if (first != std::string_view::npos) return exp + static_cast<long long>(whole.size() - first) - 1;
  if (dot == std::string_view::npos) return std::numeric_limits<long long>::min();
  std::string_view frac = mantissa.substr(dot + 1);
  size_t nz = frac.find_first_not_of('0');
  if (nz == std::string_view::npos) return std::numeric_limits<long long>::min();
  return exp - static_cast<long long>(nz) - 1;
}

}  // namespace

size_t utf8_sequence_length(std::string_view s, size_t i) {
  auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  if (c < 0x80) return 1;
  size_t n = s.size() - i;
  auto cont = [&](size_t k) { return k < n && (b(i + k) & 0xC0) == 0x80; };
  if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (n < 2) return 0;
    unsigned char c1 = b(i + 1);
    if (c == 0xE0 && c1 < 0xA0) return 0;
    if (c == 0xED && c1 > 0x9F) return 0;
    return cont(1) && cont(2) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (n < 2) return 0;
    unsigned char c1 = b(i + 1);
    if (c == 0xF0 && c1 < 0x90) return 0;
    if (c == 0xF4 && c1 > 0x8F) return 0;
    return cont(1) && cont(2) && cont(3) ? 4 : 0;
  }
  return 0;
}

bool is_valid_utf8(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    size_t len = utf8_sequence_length(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    size_t len = utf8_sequence_length(bytes, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      i += invalid_prefix_length(bytes, i);
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t* code_point) {
  size_t len = utf8_sequence_length(text, i);
  auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k])); };
  switch (len) {
    case 1: *code_point = b(0); break;
    case 2: *code_point = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F); break;
    case 3: *code_point = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F); break;
    case 4: *code_point = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F); break;
    default: break;
  }
  return len;
}

void append_utf8(std::string& out, char32_t cp) {
  auto put = [&](char32_t v) { out += static_cast<char>(v); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

std::string describe_char_at(std::string_view text, std::size_t i) {
  char32_t cp = 0xFFFD;
  decode_utf8(text, i, &cp);
  if (cp >= 0x20 && cp < 0x7F) return fmt::format("`{}`", static_cast<char>(cp));
  return fmt::format("U+{:04X}", static_cast<std::uint32_t>(cp));
}

namespace {

// Characters a debug form writes as `\u{..}`: those not printable (controls,
// format, surrogate, private-use and unassigned characters, line and
// paragraph separators, every space but U+0020) and the combining marks.
bool needs_unicode_escape(char32_t cp) {
  const auto c = static_cast<UChar32>(cp);
  switch (u_charType(c)) {
    case U_CONTROL_CHAR:
    case U_FORMAT_CHAR:
    case U_SURROGATE:
    case U_PRIVATE_USE_CHAR:
    case U_UNASSIGNED:
    case U_LINE_SEPARATOR:
    case U_PARAGRAPH_SEPARATOR: return true;
    case U_SPACE_SEPARATOR: return c != 0x20;
    default: return u_hasBinaryProperty(c, UCHAR_GRAPHEME_EXTEND);
  }
}

}  // namespace

std::string debug_quote(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // Invalid UTF-8 bytes are kept as they are.
      char32_t cp = 0;
      const std::size_t len = decode_utf8(text, i, &cp);
      if (len != 0 && needs_unicode_escape(cp)) {
        out += fmt::format("\\u{{{:x}}}", static_cast<std::uint32_t>(cp));
        i += len - 1;
      } else {
        out += static_cast<char>(c);
      }
      continue;
    }
    switch (c) {
      case 0: out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (is_ascii_control(static_cast<char>(c)))
          out += fmt::format("\\u{{{:x}}}", c);
        else
          out += static_cast<char>(c);
    }
  }
  out += '"';
  return out;
}

std::string ascii_lowercase(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = to_ascii_lower(c);
  return out;
}

std::expected<double, std::errc> parse_decimal_double(std::string_view text) {
  const bool negative = text.starts_with('-');
  std::string_view magnitude = text.substr(negative ? 1 : 0);
  // Only digits may lead: std::from_chars would also take "inf" and "nan".
  if (magnitude.empty() || magnitude[0] < '0' || magnitude[0] > '9') return std::unexpected(std::errc::invalid_argument);
  double value = 0;
  // std::from_chars reads the C notation whatever the process locale is.
  auto [ptr, ec] = std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), value);
  if (ptr != magnitude.data() + magnitude.size()) return std::unexpected(std::errc::invalid_argument);
  if (ec == std::errc::result_out_of_range) {
    if (leading_exponent(magnitude) > 0) return std::unexpected(std::errc::result_out_of_range);
    value = 0;
  } else if (ec != std::errc()) {
    return std::unexpected(std::errc::invalid_argument);
  }
  return negative ? -value : value;
}

}  // namespace kestro
