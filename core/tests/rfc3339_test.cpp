#include "kestro/utils/rfc3339.hpp"

#include <gtest/gtest.h>

namespace kestro::time {
namespace {

TEST(Rfc3339, AcceptedFormsInUtc) {
  struct Case {
    const char* text;
    const char* utc;
  } cases[] = {
      {"2025-03-13T00:00:00Z", "2025-03-13T00:00:00Z"},
      {"2025-01-01T12:00:00+02:00", "2025-01-01T10:00:00Z"},
      {"2025-03-01T00:30:00+01:00", "2025-02-28T23:30:00Z"},
      {"2025-03-01T12:00:00-00:00", "2025-03-01T12:00:00Z"},
      {"2025-03-01 12:00:00z", "2025-03-01T12:00:00Z"},
      {"2025-03-01t12:00:00Z", "2025-03-01T12:00:00Z"},
      {"2025-03-01T12:00:00.500+01:00", "2025-03-01T11:00:00.5Z"},
      {"2025-03-01T12:00:00.123456789Z", "2025-03-01T12:00:00.123456789Z"},
      {"2025-03-01T12:00:00.120Z", "2025-03-01T12:00:00.12Z"},
      {"2025-03-01T12:00:00.000Z", "2025-03-01T12:00:00Z"},
      {"20250301T120000Z", "2025-03-01T12:00:00Z"},
      {"20250301T120000+0130", "2025-03-01T10:30:00Z"},
      {"+002025-03-01T12:00:00Z", "2025-03-01T12:00:00Z"},
      {"+009999-12-31T23:59:59Z", "9999-12-31T23:59:59Z"},
      {"-000001-12-31T23:59:00-00:01", "0000-01-01T00:00:00Z"},
      {"0000-01-01T00:00:00Z", "0000-01-01T00:00:00Z"},
      {"2024-02-29T00:00:00Z", "2024-02-29T00:00:00Z"},
      {"2016-12-31T23:59:60Z", "2016-12-31T23:59:59Z"},
      {"1969-12-31T23:59:59.5Z", "1969-12-31T23:59:59.5Z"},
      {"2025-03-01T12:00:00Z[Europe/Paris]", "2025-03-01T12:00:00Z"},
      {"2025-03-01T12:00:00+01:00[!Europe/Paris][u-ca=iso8601]", "2025-03-01T11:00:00Z"},
      {"2025-03-01T12:00:00+01:00[+01:00]", "2025-03-01T11:00:00Z"},
  };
  for (const auto& c : cases) {
    auto t = parse_rfc3339(c.text);
    ASSERT_TRUE(t) << c.text << ": " << t.error().message();
    EXPECT_EQ(format_rfc3339_utc(*t), c.utc) << c.text;
  }
  EXPECT_EQ(parse_rfc3339("1970-01-01T00:00:01.25Z").value(), (Timestamp{1, 250'000'000}));
  EXPECT_EQ(parse_rfc3339("1969-12-31T23:59:59.5Z").value(), (Timestamp{-1, 500'000'000}));
}

TEST(Rfc3339, Refused) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "expected a four-digit year, found end of input"},
      {"2025-02-29T00:00:00Z", "no such date: 2025-02-29"},
      {"2025-13-01T00:00:00Z", "no such date: 2025-13-01"},
      {"2025-03-01T12:00:00",
       "missing UTC offset (`Z` or a numeric offset such as `+01:00`), found end of input"},
      {"2025-03-01",
       "expected `T`, `t` or a blank after the date, then a time and a UTC offset, found end of input"},
      {"2025-03-01T12:00:00Z word", "unexpected ` ` after the date-time"},
      {"2025-03-01T24:00:00Z", "hour 24 is out of range (00 to 23)"},
      {"2025-03-01T12:60:00Z", "minute 60 is out of range (00 to 59)"},
      {"-000000-01-01T00:00:00Z", "year -000000 is not allowed"},
      {"+010000-01-01T00:00:00Z", "year +010000 is out of range (at most 9999 either way)"},
      {"-000001-01-01T00:00:00Z", "the instant is -000001-01-01T00:00:00Z in UTC, outside the years 0000 to 9999"},
      {"-009999-01-01T00:00:00Z", "the instant is -009999-01-01T00:00:00Z in UTC, outside the years 0000 to 9999"},
      {"+009999-12-31T23:59:59-23:59", "the instant is +010000-01-01T23:58:59Z in UTC, outside the years 0000 to 9999"},
      {"+2025-03-01T00:00:00Z", "expected six digits after the sign of the year, found `2`"},
      {"2025-0301T12:00:00Z", "expected `-` before the day, found `0`"},
      {"2025-03-01T12:00Z", "expected `:` before the second, found `Z`"},
      {"2025-03-01T12:00:00.Z", "expected a digit after the decimal point, found `Z`"},
      {"2025-03-01T12:00:00,5Z",
       "missing UTC offset (`Z` or a numeric offset such as `+01:00`), found `,`"},
      {"2025-03-01T12:00:00.1234567891Z", "more than nine digits in the fraction of a second"},
      {"2025-03-01T12:00:00+24:00", "offset hour 24 is out of range (00 to 23)"},
      {"2025-03-01T12:00:00+01", "expected a two-digit offset minute, found end of input"},
      {"2025-03-01T12:00:00+01:00:00", "unexpected `:` after the date-time"},
      {"2025-03-01T12:00:00Z[", "unterminated annotation"},
      {"2025-03-01T12:00:00Z[a b]", "invalid annotation `[a b]`"},
      {"2025-03-01T12:00:00Z[]", "invalid annotation `[]`"},
      {"2025-03-01T12:00:00Z[u-ca=iso8601][Europe/Paris]", "invalid annotation `[Europe/Paris]`"},
      {"2025-03-01T12:00:00Z[Europe/Paris]x", "unexpected `x` after the date-time"},
  };
  for (const auto& c : cases) {
    auto t = parse_rfc3339(c.text);
    ASSERT_FALSE(t) << c.text;
    EXPECT_EQ(t.error().message(), c.message) << c.text;
  }
}

TEST(Rfc3339, CivilTimeOfAnInstant) {
  auto c = to_civil_utc(Timestamp{86399, 999'999'999});
  EXPECT_EQ(c.year, 1970);
  EXPECT_EQ(c.month, 1u);
  EXPECT_EQ(c.day, 1u);
  EXPECT_EQ(c.hour, 23u);
  EXPECT_EQ(c.minute, 59u);
  EXPECT_EQ(c.second, 59u);
  auto now = Timestamp::now();
  EXPECT_EQ(parse_rfc3339(format_rfc3339_utc(now)).value(), now);
}

}  // namespace
}  // namespace kestro::time
