#include "kestro/utils/display_name.hpp"

#include <gtest/gtest.h>

namespace kestro {
namespace {

TEST(VersionSlug, Cases) {
  struct Case {
    std::string version;
    std::string slug;
  } cases[] = {
      {"1.0.0", "1.0.0"},
      {"  2..3--Beta  ", "2.3-beta"},
      {"1.-0", "1.0"},
      {"1-.0", "1-0"},
      {"1.0.0-alpha+build.5", "1.0.0-alpha-build.5"},
      {"1.0.0 beta", "1.0.0-beta"},
      {"Stra\u00dfe-1", "strasse-1"},
      // Cut at 30 bytes, then trimmed: no trailing `.` is left by the cut.
      {"2.0.0-RC.1+Build.2024.01.15.1234567", "2.0.0-rc.1-build.2024.01.15.12"},
      {"1.2.3-" + std::string(23, 'a') + ".bbbb", "1.2.3-" + std::string(23, 'a')},
      // The cut never splits a character: 4 + 8 * 3 bytes.
      {"1.0-\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac", "1.0-\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac"},
      {"", ""},
      {"---", ""},
      {" . - + ", ""},
      // Default-ignorable characters go at the ends and stay inside; a
      // Bidi_Control character or U+FFFD separates like punctuation, and is
      // not trimmed at the start.
      {"\u200b1.0\u200b", "1.0"},
      {"1.0\u200bx", "1.0\u200bx"},
      {"1\u200e2", "1-2"},
      {"\ufffd1", "-1"},
      {"1.0\u00a0beta", "1.0\u00a0beta"},
      // Case folding, then NFC.
      {"1.0-A\u030a", "1.0-\u00e5"},
      {"1.0-\u212b", "1.0-\u00e5"},
  };
  for (const Case& c : cases) EXPECT_EQ(version_slug(c.version), c.slug) << c.version;
}

// The lenient decoding of an IRI component's escapes.
TEST(AppendPercentDecoded, Cases) {
  struct Case {
    std::string component;
    std::string decoded;
  } cases[] = {
      {"a%20b", "a b"},
      {"caf%C3%A9", "caf\u00e9"},
      {"a%FFb", "ab"},             // not UTF-8: nothing
      {"a%C3b", "ab"},             // pending bytes dropped before plain text
      {"a%C3", "a"},               // and at the end
      {"%C3%41", "A"},             // the breaking byte judged on its own
      {"%E2%C3%A9", "\u00e9"},     // a lead byte starts a new collection
      {"%E2%82%AC%80", "\u20ac"},  // a lone continuation byte is dropped
      {"%ED%A0%80", ""},           // a surrogate's bytes never complete
      {"%F0%9F%98%80", "\U0001F600"},
      {"100%", "100%"},
      {"%4", "%4"},
  };
  for (const Case& c : cases) {
    std::string out = "<";
    append_percent_decoded(out, c.component);
    EXPECT_EQ(out, "<" + c.decoded) << c.component;
  }
}

}  // namespace
}  // namespace kestro
