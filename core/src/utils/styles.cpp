#include "kestro/utils/styles.hpp"

#include <fmt/format.h>

#include "kestro/utils/calendar.hpp"
#include "kestro/utils/log.hpp"

namespace kestro {

namespace {

constexpr std::pair<Effect, int> kEffectCodes[] = {
    {kBold, 1}, {kDimmed, 2}, {kItalic, 3}, {kUnderline, 4}, {kBlink, 5}, {kInvert, 7}, {kHidden, 8}, {kStrikethrough, 9},
};

int code(Color c) { return static_cast<int>(c); }

Style colored_style(Color fg, uint16_t effects) { return Style{fg, std::nullopt, std::nullopt, effects}; }

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
  const time::CivilTime c = time::to_civil_utc(time::Timestamp{seconds, 0});
  const std::string y = c.year < 0 ? fmt::format("-{:04}", -c.year) : fmt::format("{:04}", c.year);
  return fmt::format("{}-{:02}-{:02} {:02}:{:02}:{:02} UTC", y, c.month, c.day, c.hour, c.minute, c.second);
}

}  // namespace kestro
