#include "kestro/utils/calendar.hpp"

#include <chrono>

namespace kestro::time {

namespace chr = std::chrono;

namespace {

// The Gregorian calendar repeats every 400 years, which are exactly this many
// days: a day far outside <chrono>'s year range is brought into it by whole
// cycles and the cycles are added back to the year.
constexpr std::int64_t kDaysPerCycle = 146097;

// Division rounding down, and its remainder (0 to b - 1), for b > 0; neither
// overflows for any `a`.
std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }
std::int64_t floor_mod(std::int64_t a, std::int64_t b) { return a % b < 0 ? a % b + b : a % b; }

}  // namespace

Timestamp Timestamp::now() {
  const auto since_epoch = chr::system_clock::now().time_since_epoch();
  const auto seconds = chr::floor<chr::seconds>(since_epoch);
  const auto nanos = chr::duration_cast<chr::nanoseconds>(since_epoch - seconds);
  return Timestamp{seconds.count(), static_cast<std::uint32_t>(nanos.count())};
}

CivilTime to_civil_utc(Timestamp t) {
  const std::int64_t days = floor_div(t.seconds, kSecondsPerDay);
  const std::int64_t cycles = floor_div(days, kDaysPerCycle);
  const chr::year_month_day date{chr::sys_days{chr::days{days - cycles * kDaysPerCycle}}};
  const chr::hh_mm_ss clock{chr::seconds{floor_mod(t.seconds, kSecondsPerDay)}};
  return CivilTime{static_cast<int>(date.year()) + cycles * 400,
                   static_cast<unsigned>(date.month()),
                   static_cast<unsigned>(date.day()),
                   static_cast<unsigned>(clock.hours().count()),
                   static_cast<unsigned>(clock.minutes().count()),
                   static_cast<unsigned>(clock.seconds().count()),
                   t.nanos};
}

bool is_valid_date(int year, unsigned month, unsigned day) {
  // <chrono> keeps the fields in narrow types: range-check before wrapping.
  if (year < -32767 || year > 32767 || month > 12 || day > 31) return false;
  return chr::year_month_day{chr::year{year}, chr::month{month}, chr::day{day}}.ok();
}

std::int64_t days_since_epoch(int year, unsigned month, unsigned day) {
  return chr::sys_days{chr::year_month_day{chr::year{year}, chr::month{month}, chr::day{day}}}.time_since_epoch().count();
}

}  // namespace kestro::time
