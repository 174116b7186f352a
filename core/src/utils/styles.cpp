#include "kestro/utils/styles.hpp"

#include <fmt/format.h>

#include "kestro/utils/log.hpp"

namespace kestro {

namespace {

constexpr std::pair<Effect, int> kEffectCodes[] = {
    {kBold, 1}, {kDimmed, 2}, {kItalic, 3}, {kUnderline, 4}, {kBlink, 5}, {kInvert, 7}, {kHidden, 8}, {kStrikethrough, 9},
};

int code(Color c) { return static_cast<int>(c); }

Style colored_style(Color fg, uint16_t effects) { return Style{fg, std::nullopt, std::nullopt, effects}; }

// Days since 1970-01-01 to a civil date (proleptic Gregorian calendar).
void civil_from_days(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

std::string Style::render() const {
  std::string out;
  for (const auto& [effect, sgr] : kEffectCodes)
    if (effects & effect) out += fmt::format("\x1b[{}m", sgr);
  if (fg) out += fmt::format("\x1b[3{}m", code(*fg));
  if (bg) out += fmt::format("\x1b[4{}m", code(*bg));
  if (underline) out += fmt::format("\x1b[58;5;{}m", code(*underline));
  return out;
}

std::string Style::render_reset() const { return is_plain() ? std::string() : std::string("\x1b[0m"); }

StyleTable StyleTable::plain() { return StyleTable{}; }

StyleTable StyleTable::colored() {
  const Style green_bold = colored_style(Color::Green, kBold);
  const Style cyan_bold = colored_style(Color::Cyan, kBold);
  const Style yellow_bold = colored_style(Color::Yellow, kBold);
  return StyleTable{{
      green_bold,                             // status verbs
      green_bold,                             //
      cyan_bold,                              //
      colored_style(Color::Cyan, 0),          //
      colored_style(Color::Red, kBold),       // failure marks
      yellow_bold,                            //
      cyan_bold,                              // note prefix
      green_bold,                             //
      cyan_bold,                              //
      yellow_bold,                            //
      Style{std::nullopt, std::nullopt, std::nullopt, kDimmed},  // quiet marks
  }};
}

const StyleTable& StyleCell::get() {
  std::call_once(once_, [this] { table_ = StyleTable::plain(); });
  return table_;
}

void StyleCell::set(StyleTable table) {
  std::call_once(once_, [&] { table_ = std::move(table); });
}

namespace {
StyleCell& global_cell() {
  static StyleCell cell;
  return cell;
}
}  // namespace

const StyleTable& global_styles() { return global_cell().get(); }
void set_global_styles(StyleTable table) { global_cell().set(std::move(table)); }

std::string format_status_line(const StyleTable& styles, std::string_view verb, std::string_view rest) {
  const Style& style = styles.status();
  return fmt::format("{}{:>12}{} {}", style.render(), verb, style.render_reset(), rest);
}

void log_status(std::string_view target, std::string_view verb, std::string_view rest) {
  if (log::enabled(log::Level::Info, target))
    log::emit(log::Level::Info, target, format_status_line(global_styles(), verb, rest));
}

std::string format_utc_timestamp(int64_t seconds, uint32_t nanoseconds) {
  (void)nanoseconds;  // fractions are cut off
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  int64_t year;
  unsigned month, day;
  civil_from_days(days, year, month, day);
  const std::string y = year < 0 ? fmt::format("-{:04}", -year) : fmt::format("{:04}", year);
  return fmt::format("{}-{:02}-{:02} {:02}:{:02}:{:02} UTC", y, month, day, rest / 3600, rest / 60 % 60, rest % 60);
}

}  // namespace kestro
