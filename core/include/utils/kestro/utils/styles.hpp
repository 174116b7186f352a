// Terminal text styles, the process-wide table of styles that status lines
// and account commands take their colours from, and the one printed form of
// instants.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kestro {

// The eight basic ANSI colours, by their SGR number.
enum class Color : uint8_t { Black, Red, Green, Yellow, Blue, Magenta, Cyan, White };

// Effects, rendered in this order.
enum Effect : uint16_t {
  kBold = 1 << 0,
  kDimmed = 1 << 1,
  kItalic = 1 << 2,
  kUnderline = 1 << 3,
  kBlink = 1 << 4,
  kInvert = 1 << 5,
  kHidden = 1 << 6,
  kStrikethrough = 1 << 7,
};

struct Style {
  std::optional<Color> fg;
  std::optional<Color> bg;
  std::optional<Color> underline;
  uint16_t effects = 0;

  bool is_plain() const { return !fg && !bg && !underline && effects == 0; }
  // One ANSI SGR sequence per effect, then the foreground, background and
  // underline colours ("\x1b[1m\x1b[32m" for bold green); empty when plain.
  std::string render() const;
  // "\x1b[0m", or empty when plain.
  std::string render_reset() const;
  bool operator==(const Style&) const = default;
};

// The eleven styles producers draw from.
struct StyleTable {
  static constexpr size_t kPlaces = 11;
  std::array<Style, kPlaces> places{};

  const Style& status() const { return places[0]; }   // the verb of a status line
  const Style& failure() const { return places[4]; }  // failure marks (an expired login)
  const Style& note() const { return places[6]; }     // the `note:` prefix
  const Style& quiet() const { return places[10]; }   // quiet marks (a validated login)

  // No colour and no effect anywhere.
  static StyleTable plain();
  // The command line's colours.
  static StyleTable colored();
  bool operator==(const StyleTable&) const = default;
};

// A table filled at most once: the first of `get` (which fills it with the
// plain table) and `set` decides it for good. Safe across threads; reads
// after the fill take no lock.
class StyleCell {
 public:
  const StyleTable& get();
  void set(StyleTable table);

 private:
  std::once_flag once_;
  StyleTable table_;
};

// The process-wide cell.
const StyleTable& global_styles();
void set_global_styles(StyleTable table);

// A status line's message: the status style, the verb right-aligned in 12
// characters (a longer verb is kept whole), the reset, a blank and the rest.
std::string format_status_line(const StyleTable& styles, std::string_view verb, std::string_view rest);
// Logs a status line at info level with the installed table.
void log_status(std::string_view target, std::string_view verb, std::string_view rest);

// An instant as "%Y-%m-%d %H:%M:%S UTC" (at least four year digits);
// fractions of a second are cut off.
std::string format_utc_timestamp(int64_t seconds, uint32_t nanoseconds = 0);

}  // namespace kestro
