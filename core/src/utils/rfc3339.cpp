#include "kestro/utils/rfc3339.hpp"

#include <cstdlib>
#include <optional>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::time {

namespace {

// The instants whose UTC year has four digits.
constexpr Timestamp kFirstInstant{-62167219200, 0};                // 0000-01-01T00:00:00Z
constexpr Timestamp kLastInstant{253402300799, 999'999'999};       // 9999-12-31T23:59:59.999999999Z

std::unexpected<Rfc3339Error> fail(std::string text) { return std::unexpected(Rfc3339Error(std::move(text))); }

struct Cursor : TextCursor {
  // Exactly `n` digits as a number, or nothing.
  std::optional<int> digits(int n) {
    if (text.size() - i < static_cast<std::size_t>(n)) return std::nullopt;
    int v = 0;
    for (int k = 0; k < n; ++k) {
      if (!is_ascii_digit(text[i + k])) return std::nullopt;
      v = v * 10 + (text[i + k] - '0');
    }
    i += n;
    return v;
  }
};

// Two-digit field, optionally after a separator that starts the extended
// form; `extended` is decided by the first field that could carry one.
std::expected<int, Rfc3339Error> field(Cursor& c, const char* what, char separator, std::optional<bool>& extended) {
  if (separator != '\0') {
    if (!extended) extended = c.peek() == separator;
    if (*extended && !c.eat(separator)) return fail(fmt::format("expected `{}` before the {}, found {}", separator, what, c.found()));
  }
  auto v = c.digits(2);
  if (!v) return fail(fmt::format("expected a two-digit {}, found {}", what, c.found()));
  return *v;
}

std::expected<int, Rfc3339Error> parse_year(Cursor& c) {
  if (c.peek() == '+' || c.peek() == '-') {
    bool negative = c.peek() == '-';
    ++c.i;
    auto v = c.digits(6);
    if (!v) return fail(fmt::format("expected six digits after the sign of the year, found {}", c.found()));
    if (*v > 9999) return fail(fmt::format("year {}{:06} is out of range (at most 9999 either way)", negative ? '-' : '+', *v));
    if (negative && *v == 0) return fail("year -000000 is not allowed");
    return negative ? -*v : *v;
  }
  auto v = c.digits(4);
  if (!v) return fail(fmt::format("expected a four-digit year, found {}", c.found()));
  return *v;
}

// `+HH:MM`, `+HHMM`, `-...`; the sign already seen is passed in.
std::expected<int, Rfc3339Error> parse_offset_digits(Cursor& c, const char* what) {
  std::optional<bool> extended;
  auto h = field(c, "offset hour", '\0', extended);
  if (!h) return std::unexpected(h.error());
  auto m = field(c, "offset minute", ':', extended);
  if (!m) return std::unexpected(m.error());
  if (*h > 23) return fail(fmt::format("{} hour {:02} is out of range (00 to 23)", what, *h));
  if (*m > 59) return fail(fmt::format("{} minute {:02} is out of range (00 to 59)", what, *m));
  return *h * 3600 + *m * 60;
}

bool is_tz_part(std::string_view part) {
  if (part.empty() || part == "." || part == "..") return false;
  if (!is_ascii_alpha(part[0]) && part[0] != '.' && part[0] != '_') return false;
  for (char ch : part)
    if (!is_ascii_alnum(ch) && ch != '.' && ch != '_' && ch != '-' && ch != '+') return false;
  return true;
}

// `key=value[-value...]`: key [a-z_][a-z0-9_-]*, values alphanumeric.
bool is_suffix_tag(std::string_view body) {
  auto eq = body.find('=');
  std::string_view key = body.substr(0, eq), values = body.substr(eq + 1);
  if (key.empty() || !(is_ascii_lower(key[0]) || key[0] == '_')) return false;
  for (char ch : key)
    if (!is_ascii_lower(ch) && !is_ascii_digit(ch) && ch != '_' && ch != '-') return false;
  std::size_t run = 0;
  for (char ch : values) {
    if (ch == '-') {
      if (run == 0) return false;
      run = 0;
    } else if (is_ascii_alnum(ch)) {
      ++run;
    } else {
      return false;
    }
  }
  return run > 0;
}

// One annotation: a time zone (a name or a numeric offset), allowed first
// only, or a `key=value` tag; each may carry the critical flag `!`.
std::expected<void, Rfc3339Error> parse_annotation(Cursor& c, bool first) {
  std::size_t open = c.i++;
  std::size_t close = c.text.find(']', c.i);
  if (close == std::string_view::npos) return fail("unterminated annotation");
  std::string_view body = c.text.substr(c.i, close - c.i);
  std::string_view whole = c.text.substr(open, close + 1 - open);
  if (!body.empty() && body[0] == '!') body.remove_prefix(1);
  bool ok;
  if (body.find('=') != std::string_view::npos) {
    ok = is_suffix_tag(body);
  } else if (!first) {
    ok = false;
  } else if (!body.empty() && (body[0] == '+' || body[0] == '-')) {
    Cursor offset{{body, 1}};
    ok = parse_offset_digits(offset, "annotation offset").has_value() && offset.at_end();
  } else {
    ok = !body.empty();
    for (std::size_t start = 0; ok;) {
      auto slash = body.find('/', start);
      ok = is_tz_part(body.substr(start, slash - start));
      if (slash == std::string_view::npos) break;
      start = slash + 1;
    }
  }
  if (!ok) return fail(fmt::format("invalid annotation `{}`", whole));
  c.i = close + 1;
  return {};
}

}  // namespace

std::expected<Timestamp, Rfc3339Error> parse_rfc3339(std::string_view text) {
  Cursor c{{text}};
  auto year = parse_year(c);
  if (!year) return std::unexpected(year.error());
  std::optional<bool> date_extended, time_extended;
  auto month = field(c, "month", '-', date_extended);
  if (!month) return std::unexpected(month.error());
  auto day = field(c, "day", '-', date_extended);
  if (!day) return std::unexpected(day.error());
  if (!is_valid_date(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day))) return fail(fmt::format("no such date: {}-{:02}-{:02}", *year, *month, *day));

  if (!c.eat('T') && !c.eat('t') && !c.eat(' '))
    return fail(fmt::format("expected `T`, `t` or a blank after the date, then a time and a UTC offset, found {}", c.found()));
  auto hour = field(c, "hour", '\0', time_extended);
  if (!hour) return std::unexpected(hour.error());
  auto minute = field(c, "minute", ':', time_extended);
  if (!minute) return std::unexpected(minute.error());
  auto second = field(c, "second", ':', time_extended);
  if (!second) return std::unexpected(second.error());
  if (*hour > 23) return fail(fmt::format("hour {:02} is out of range (00 to 23)", *hour));
  if (*minute > 59) return fail(fmt::format("minute {:02} is out of range (00 to 59)", *minute));
  if (*second > 60) return fail(fmt::format("second {:02} is out of range (00 to 60)", *second));
  std::uint32_t nanos = 0;
  if (c.eat('.')) {
    int n = 0;
    for (; is_ascii_digit(c.peek()); ++c.i, ++n) {
      if (n == 9) return fail("more than nine digits in the fraction of a second");
      nanos = nanos * 10 + static_cast<std::uint32_t>(c.peek() - '0');
    }
    if (n == 0) return fail(fmt::format("expected a digit after the decimal point, found {}", c.found()));
    for (; n < 9; ++n) nanos *= 10;
  }

  int offset = 0;
  if (c.eat('Z') || c.eat('z')) {
  } else if (c.peek() == '+' || c.peek() == '-') {
    int sign = c.peek() == '-' ? -1 : 1;
    ++c.i;
    auto magnitude = parse_offset_digits(c, "offset");
    if (!magnitude) return std::unexpected(magnitude.error());
    offset = sign * *magnitude;
  } else {
    return fail(fmt::format("missing UTC offset (`Z` or a numeric offset such as `+01:00`), found {}", c.found()));
  }
  for (bool first = true; c.peek() == '['; first = false)
    if (auto r = parse_annotation(c, first); !r) return std::unexpected(r.error());
  if (!c.at_end()) return fail(fmt::format("unexpected {} after the date-time", c.found()));

  std::int64_t days = days_since_epoch(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
  std::int64_t seconds = days * kSecondsPerDay + *hour * 3600 + *minute * 60 + std::min(*second, 59) - offset;
  Timestamp instant{seconds, nanos};
  // What is read must be what is written back: the formatter's four-digit year.
  if (instant < kFirstInstant || instant > kLastInstant)
    return fail(fmt::format("the instant is {} in UTC, outside the years 0000 to 9999", format_rfc3339_utc(instant)));
  return instant;
}

std::string format_rfc3339_utc(Timestamp t) {
  CivilTime c = to_civil_utc(t);
  std::string out = c.year >= 0 && c.year <= 9999 ? fmt::format("{:04}", c.year)
                                                  : fmt::format("{}{:06}", c.year < 0 ? '-' : '+', std::abs(c.year));
  out += fmt::format("-{:02}-{:02}T{:02}:{:02}:{:02}", c.month, c.day, c.hour, c.minute, c.second);
  if (c.nanos != 0) {
    std::string fraction = fmt::format("{:09}", c.nanos);
    fraction.erase(fraction.find_last_not_of('0') + 1);
    out += "." + fraction;
  }
  out += 'Z';
  return out;
}

}  // namespace kestro::time
