#include "kestro/utils/styles.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro {
namespace {

TEST(Styles, PlainTableHasNoEscapes) {
  const StyleTable plain = StyleTable::plain();
  for (const Style& s : plain.places) {
    EXPECT_EQ(s.render(), "");
    EXPECT_EQ(s.render_reset(), "");
  }
  EXPECT_EQ(format_status_line(plain, "Adding", "usage: x"), "      Adding usage: x");
  EXPECT_EQ(format_status_line(plain, "Reinstalling!", "x"), "Reinstalling! x");  // 13 characters, kept whole
}

TEST(Styles, ColoredTable) {
  const StyleTable colored = StyleTable::colored();
  EXPECT_EQ(format_status_line(colored, "Adding", "usage: x"), "\x1b[1m\x1b[32m      Adding\x1b[0m usage: x");
  EXPECT_EQ(colored.failure().render(), "\x1b[1m\x1b[31m");
  EXPECT_EQ(colored.note().render(), "\x1b[1m\x1b[36m");
  EXPECT_EQ(colored.quiet().render(), "\x1b[2m");
  EXPECT_EQ(colored.places[3].render(), "\x1b[36m");
  EXPECT_EQ(colored.places[9].render(), "\x1b[1m\x1b[33m");
  EXPECT_EQ(colored.quiet().render_reset(), "\x1b[0m");
  EXPECT_EQ((Style{Color::Red, Color::White, Color::Blue, kItalic | kUnderline}).render(),
            "\x1b[3m\x1b[4m\x1b[31m\x1b[47m\x1b[58;5;4m");
}

TEST(Styles, CellIsFilledOnce) {
  StyleCell set_first;
  set_first.set(StyleTable::colored());
  set_first.set(StyleTable::plain());
  EXPECT_EQ(set_first.get(), StyleTable::colored());

  StyleCell read_first;
  EXPECT_EQ(read_first.get(), StyleTable::plain());
  read_first.set(StyleTable::colored());
  EXPECT_EQ(read_first.get(), StyleTable::plain());
}

TEST(Styles, StatusLineIsLoggedAtInfo) {
  log::ScopedCapture capture;
  log_status("kestro_core::commands::add", "Adding", "usage: x");
  ASSERT_EQ(capture.records().size(), 1u);
  EXPECT_EQ(capture.records()[0].level, log::Level::Info);
  EXPECT_EQ(capture.records()[0].target, "kestro_core::commands::add");
  EXPECT_EQ(capture.records()[0].message, format_status_line(global_styles(), "Adding", "usage: x"));
}

TEST(UtcTimestamp, Format) {
  struct Case {
    int64_t seconds;
    uint32_t nanos;
    std::string_view text;
  } cases[] = {
      {0, 0, "1970-01-01 00:00:00 UTC"},
      {86399, 999999999, "1970-01-01 23:59:59 UTC"},
      {-1, 500000000, "1969-12-31 23:59:59 UTC"},
      {951782400, 0, "2000-02-29 00:00:00 UTC"},
      {1735689599, 0, "2024-12-31 23:59:59 UTC"},
      {253402300799, 0, "9999-12-31 23:59:59 UTC"},
      {253402300800, 0, "10000-01-01 00:00:00 UTC"},
      {-62135596800, 0, "0001-01-01 00:00:00 UTC"},
      {-62167219201, 0, "-0001-12-31 23:59:59 UTC"},
      // Years beyond what the calendar types hold are reached by whole 400-year cycles.
      {1'000'000'000'000, 0, "33658-09-27 01:46:40 UTC"},
      {-1'000'000'000'000, 0, "-29719-04-05 22:13:20 UTC"},
      {INT64_MAX, 0, "292277026596-12-04 15:30:07 UTC"},
      {INT64_MIN, 0, "-292277022657-01-27 08:29:52 UTC"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_utc_timestamp(c.seconds, c.nanos), c.text) << c.seconds;
}

}  // namespace
}  // namespace kestro
