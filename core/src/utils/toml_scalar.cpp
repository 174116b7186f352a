#include "toml_scalar.hpp"

#include <charconv>
#include <cmath>
#include <limits>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/calendar.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::toml::detail {

namespace {

bool is_token_char(char c) { return is_ascii_alnum(c) || c == '_' || c == '.' || c == '+' || c == '-'; }

bool digits_at(std::string_view s, size_t p, size_t n) {
  if (p + n > s.size()) return false;
  for (size_t i = 0; i < n; ++i)
    if (!is_ascii_digit(s[p + i])) return false;
  return true;
}

int two_digits(std::string_view s, size_t p) { return (s[p] - '0') * 10 + (s[p + 1] - '0'); }

bool fail(ScanFailure& failure, std::string message, size_t begin, size_t end) {
  failure = {std::move(message), {begin, end}};
  return false;
}

// HH:MM[:SS[.fraction]] at `p`; seconds may be left out.
bool scan_time(std::string_view s, size_t& p) {
  if (!digits_at(s, p, 2) || p + 2 >= s.size() || s[p + 2] != ':' || !digits_at(s, p + 3, 2)) return false;
  int hour = two_digits(s, p), minute = two_digits(s, p + 3), second = 0;
  p += 5;
  if (p < s.size() && s[p] == ':') {
    if (!digits_at(s, p + 1, 2)) return false;
    second = two_digits(s, p + 1);
    p += 3;
    if (p < s.size() && s[p] == '.') {
      ++p;
      if (!digits_at(s, p, 1)) return false;
      while (p < s.size() && is_ascii_digit(s[p])) ++p;
    }
  }
  return hour <= 23 && minute <= 59 && second <= 60;
}

bool scan_datetime(std::string_view s, size_t pos, Scalar& out, ScanFailure& failure) {
  size_t p = pos;
  auto bad = [&] {
    size_t end = p;
    while (end < s.size() && (is_token_char(s[end]) || s[end] == ':')) ++end;
    return fail(failure, "invalid date-time", pos, std::max(end, pos + 1));
  };
  out.kind = Kind::Datetime;
  if (s[p + 2] == ':') {
    if (!scan_time(s, p)) return bad();
    out.datetime = DatetimeForm::LocalTime;
    out.end = p;
    return true;
  }
  if (!digits_at(s, p + 5, 2) || p + 7 >= s.size() || s[p + 7] != '-' || !digits_at(s, p + 8, 2)) return bad();
  int year = (s[p] - '0') * 1000 + (s[p + 1] - '0') * 100 + two_digits(s, p + 2);
  int month = two_digits(s, p + 5), day = two_digits(s, p + 8);
  if (!time::is_valid_date(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) return bad();
  p += 10;
  bool has_time = false;
  if (p < s.size() && (s[p] == 'T' || s[p] == 't')) {
    has_time = true;
  } else if (p < s.size() && s[p] == ' ' && digits_at(s, p + 1, 2) && p + 3 < s.size() && s[p + 3] == ':') {
    has_time = true;
  }
  if (!has_time) {
    out.datetime = DatetimeForm::LocalDate;
    out.end = p;
    return true;
  }
  ++p;
  if (!scan_time(s, p)) return bad();
  out.datetime = DatetimeForm::LocalDateTime;
  if (p < s.size() && (s[p] == 'Z' || s[p] == 'z')) {
    ++p;
    out.datetime = DatetimeForm::OffsetDateTime;
  } else if (p < s.size() && (s[p] == '+' || s[p] == '-')) {
    if (!digits_at(s, p + 1, 2) || p + 3 >= s.size() || s[p + 3] != ':' || !digits_at(s, p + 4, 2)) return bad();
    if (two_digits(s, p + 1) > 23 || two_digits(s, p + 4) > 59) return bad();
    p += 6;
    out.datetime = DatetimeForm::OffsetDateTime;
  }
  out.end = p;
  return true;
}

// Digits of `base` with single underscores between them, from `j`.
bool skip_digits(std::string_view t, size_t& j, unsigned base) {
  auto is_base_digit = [base](char c) {
    if (base == 16) return is_ascii_hex_digit(c);
    return c >= '0' && c < static_cast<char>('0' + base);
  };
  if (j >= t.size() || !is_base_digit(t[j])) return false;
  ++j;
  while (j < t.size()) {
    if (is_base_digit(t[j])) {
      ++j;
    } else if (t[j] == '_' && j + 1 < t.size() && is_base_digit(t[j + 1])) {
      j += 2;
    } else {
      break;
    }
  }
  return true;
}

bool accumulate(std::string_view digits, unsigned base, bool negative, Integer& out) {
  using U = unsigned __int128;
  const U max = negative ? U(1) << 127 : ~U(0);
  U v = 0;
  for (char c : digits) {
    if (c == '_') continue;
    const auto d = static_cast<unsigned>(hex_digit_value(c));
    if (v > (max - d) / base) return false;
    v = v * base + d;
  }
  out = Integer::make(v, negative);
  return true;
}

bool scan_number(std::string_view s, size_t pos, Scalar& out, ScanFailure& failure) {
  size_t end = pos;
  while (end < s.size() && is_token_char(s[end])) ++end;
  std::string_view t = s.substr(pos, end - pos);
  out.end = end;
  if (t.empty()) return fail(failure, "expected a value", pos, pos + 1);
  if (t == "true" || t == "false") {
    out.kind = Kind::Boolean;
    out.boolean = t == "true";
    return true;
  }
  const bool has_sign = t[0] == '+' || t[0] == '-';
  const bool negative = t[0] == '-';
  std::string_view rest = t.substr(has_sign ? 1 : 0);
  if (rest == "inf" || rest == "nan") {
    out.kind = Kind::Float;
    double v = rest == "inf" ? std::numeric_limits<double>::infinity() : std::numeric_limits<double>::quiet_NaN();
    out.number = negative ? -v : v;
    return true;
  }
  if (rest.empty() || !is_ascii_digit(rest[0])) return fail(failure, has_sign ? "invalid number" : "expected a value", pos, end);
  if (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'o' || rest[1] == 'b')) {
    if (has_sign) return fail(failure, "invalid number", pos, end);
    const unsigned base = rest[1] == 'x' ? 16 : rest[1] == 'o' ? 8 : 2;
    size_t j = 2;
    if (!skip_digits(rest, j, base) || j != rest.size()) return fail(failure, "invalid number", pos, end);
    out.kind = Kind::Integer;
    if (!accumulate(rest.substr(2), base, false, out.integer)) return fail(failure, "integer number overflowed", pos, end);
    return true;
  }
  size_t j = 0;
  skip_digits(rest, j, 10);
  if (rest[0] == '0' && j > 1) return fail(failure, "invalid number: leading zeros are not allowed", pos, end);
  const size_t whole_end = j;
  bool is_float = false;
  if (j < rest.size() && rest[j] == '.') {
    ++j;
    if (!skip_digits(rest, j, 10)) return fail(failure, "invalid number", pos, end);
    is_float = true;
  }
  if (j < rest.size() && (rest[j] == 'e' || rest[j] == 'E')) {
    ++j;
    if (j < rest.size() && (rest[j] == '+' || rest[j] == '-')) ++j;
    if (!skip_digits(rest, j, 10)) return fail(failure, "invalid number", pos, end);
    is_float = true;
  }
  if (j != rest.size()) return fail(failure, "invalid number", pos, end);
  if (!is_float) {
    out.kind = Kind::Integer;
    if (!accumulate(rest.substr(0, whole_end), 10, negative, out.integer))
      return fail(failure, "integer number overflowed", pos, end);
    return true;
  }
  std::string clean;
  clean.reserve(rest.size());
  for (char c : rest)
    if (c != '_') clean += c;
  auto v = parse_decimal_double(clean);
  if (!v) {
    if (v.error() == std::errc::result_out_of_range) return fail(failure, "floating-point number overflowed", pos, end);
    return fail(failure, "invalid number", pos, end);
  }
  out.kind = Kind::Float;
  out.number = negative ? -*v : *v;
  return true;
}

}  // namespace

bool scan_scalar(std::string_view text, size_t pos, Scalar& out, ScanFailure& failure) {
  if (digits_at(text, pos, 4) && pos + 4 < text.size() && text[pos + 4] == '-')
    return scan_datetime(text, pos, out, failure);
  if (digits_at(text, pos, 2) && pos + 2 < text.size() && text[pos + 2] == ':')
    return scan_datetime(text, pos, out, failure);
  return scan_number(text, pos, out, failure);
}

}  // namespace kestro::toml::detail
