// The one calendar of the code base: instants, civil dates and times in UTC
// on the proleptic Gregorian calendar, all built on <chrono>'s calendar types.
#pragma once

#include <compare>
#include <cstdint>

namespace kestro::time {

// An instant: seconds and nanoseconds since 1970-01-01T00:00:00Z.
struct Timestamp {
  std::int64_t seconds = 0;
  std::uint32_t nanos = 0;  // 0 to 999'999'999

  static Timestamp now();
  friend auto operator<=>(const Timestamp&, const Timestamp&) = default;
};

// The civil date and time of an instant in UTC. Every instant has one: the
// year is not limited to the four-digit range.
struct CivilTime {
  std::int64_t year;
  unsigned month, day, hour, minute, second;
  std::uint32_t nanos;
};

// The civil form of seconds (and nanoseconds) since the epoch.
CivilTime to_civil_utc(Timestamp t);

// Whether year-month-day names a day of the calendar (month 1 to 12, day
// within the month, leap years counted).
bool is_valid_date(int year, unsigned month, unsigned day);

// Days from 1970-01-01 to a valid date (negative before it); years from
// -32767 to 32767.
std::int64_t days_since_epoch(int year, unsigned month, unsigned day);

inline constexpr std::int64_t kSecondsPerDay = 86400;

}  // namespace kestro::time
