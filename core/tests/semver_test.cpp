#include "kestro/utils/semver.hpp"

#include <gtest/gtest.h>

namespace kestro::semver {
namespace {

TEST(SemverVersion, ValidVersionsRoundTrip) {
  for (const char* text : {"1.2.3", "0.0.0", "1.2.3-rc.1+b5", "1.0.0-alpha-1.0", "1.0.0+001", "1.0.0-0A.is.legal",
                           "1.0.0-0", "18446744073709551615.0.0"}) {
    auto v = Version::parse(text);
    ASSERT_TRUE(v) << text << ": " << v.error().message();
    EXPECT_EQ(v->to_string(), text);
  }
  auto v = Version::parse("1.2.3-rc.1+b5").value();
  EXPECT_EQ(v.major, 1u);
  EXPECT_EQ(v.minor, 2u);
  EXPECT_EQ(v.patch, 3u);
  EXPECT_EQ(v.pre, "rc.1");
  EXPECT_EQ(v.build, "b5");
}

TEST(SemverVersion, InvalidVersions) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "empty string, expected a semantic version"},
      {"v1.2.3", "unexpected character `v` while parsing major version number"},
      {"1.2", "unexpected end of input after minor version number"},
      {"1.2.3.4", "unexpected character `.` after patch version number"},
      {"01.2.3", "invalid leading zero in major version number"},
      {"1.02.3", "invalid leading zero in minor version number"},
      {" 1.2.3", "unexpected character ` ` while parsing major version number"},
      {"1.2.3 ", "unexpected character ` ` after patch version number"},
      {"1.2.3-", "empty identifier segment in pre-release identifier"},
      {"1.2.3-a..b", "empty identifier segment in pre-release identifier"},
      {"1.2.3-01", "invalid leading zero in pre-release identifier"},
      {"1.2.3-a_b", "unexpected character `_` while parsing pre-release identifier"},
      {"1.2.3+", "empty identifier segment in build metadata"},
      {"1.2.3+b5+x", "unexpected character `+` while parsing build metadata"},
      {"1.2.3-\xC3\xA9", "unexpected character U+00E9 while parsing pre-release identifier"},
      {"18446744073709551616.0.0", "value of major version number exceeds the largest supported number"},
      {"1..3", "unexpected character `.` while parsing minor version number"},
  };
  for (const auto& c : cases) {
    auto v = Version::parse(c.text);
    ASSERT_FALSE(v) << c.text;
    EXPECT_EQ(v.error().message(), c.message) << c.text;
  }
}

TEST(SemverVersion, Precedence) {
  const char* ascending[] = {"1.0.0-alpha", "1.0.0-alpha.1", "1.0.0-alpha.beta", "1.0.0-beta", "1.0.0-beta.2",
                             "1.0.0-beta.11", "1.0.0-rc.1", "1.0.0", "1.0.1", "1.1.0", "2.0.0"};
  for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
    auto a = Version::parse(ascending[i]).value(), b = Version::parse(ascending[i + 1]).value();
    EXPECT_LT(a, b) << ascending[i] << " < " << ascending[i + 1];
    EXPECT_EQ(compare_precedence(b, a), std::strong_ordering::greater);
  }
  EXPECT_TRUE(compare_prerelease("99999999999999999999", "100000000000000000000") < 0);
  EXPECT_TRUE(compare_prerelease("999", "a") < 0);  // numeric identifiers rank below alphanumeric ones
  auto b1 = Version::parse("1.0.0+b1").value(), b2 = Version::parse("1.0.0+b2").value();
  EXPECT_EQ(compare_precedence(b1, b2), std::strong_ordering::equal);
  EXPECT_NE(b1, b2);
  EXPECT_LT(b1, b2);
}

// Listing order: precedence, then build metadata, in which digits count by
// value and, at equal value, more leading zeros rank higher.
TEST(SemverVersion, ListingOrder) {
  const char* ascending[] = {"1.0.0-rc.1", "1.0.0",     "1.0.0+7", "1.0.0+007", "1.0.0+10",  "1.0.0+10.1",
                             "1.0.0+10.a", "1.0.0+0a", "1.0.0+a", "1.0.0+b",   "1.0.0+b.2", "2.0.0-rc.1"};
  for (std::size_t i = 0; i < std::size(ascending); ++i) {
    auto a = Version::parse(ascending[i]).value();
    EXPECT_EQ(compare_version_order(a, a), std::strong_ordering::equal) << ascending[i];
    for (std::size_t j = i + 1; j < std::size(ascending); ++j) {
      auto b = Version::parse(ascending[j]).value();
      EXPECT_EQ(compare_version_order(a, b), std::strong_ordering::less) << ascending[i] << " < " << ascending[j];
      EXPECT_EQ(compare_version_order(b, a), std::strong_ordering::greater) << ascending[j] << " > " << ascending[i];
    }
  }
}

TEST(SemverReq, ParsesAndDisplays) {
  struct Case {
    const char* text;
    const char* display;
  } cases[] = {
      {">=1.0, <2.0", ">=1.0, <2.0"},
      {"1.2.3", "^1.2.3"},
      {"*", "*"},
      {" x ", "*"},
      {"1.*", "1.*"},
      {"1.2.x", "1.2.*"},
      {"1.*.*", "1.*"},
      {"= 1.2.3", "=1.2.3"},
      {"~1", "~1"},
      {" ^0.2 ,<0.2.5 ", "^0.2, <0.2.5"},
      {">=1.0.0-rc.1+build.5", ">=1.0.0-rc.1"},
      {"<=2", "<=2"},
      {">1.2.3-alpha.1", ">1.2.3-alpha.1"},
  };
  for (const auto& c : cases) {
    auto req = VersionReq::parse(c.text);
    ASSERT_TRUE(req) << c.text << ": " << req.error().message();
    EXPECT_EQ(req->to_string(), c.display) << c.text;
  }
  auto req = VersionReq::parse(">=1.0, <2.0").value();
  ASSERT_EQ(req.comparators.size(), 2u);
  EXPECT_EQ(req.comparators[0], (Comparator{Op::GreaterEq, 1, 0, std::nullopt, ""}));
  EXPECT_EQ(req.comparators[1], (Comparator{Op::Less, 2, 0, std::nullopt, ""}));
}

TEST(SemverReq, InvalidRequirements) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "empty string, expected a semantic version requirement"},
      {"   ", "empty string, expected a semantic version requirement"},
      {"latest", "unexpected character `l` while parsing major version number"},
      {"1.0,", "unexpected end of input while parsing major version number"},
      {",1.0", "unexpected character `,` while parsing major version number"},
      {"1.0,,2.0", "unexpected character `,` while parsing major version number"},
      {"1.0 2.0", "unexpected character `2` after minor version number, expected `,`"},
      {">=*", "a wildcard in place of the major version number must stand alone"},
      {"*, 1.0", "unexpected character `,` after a wildcard requirement"},
      {"1.*.3", "unexpected character `3` after a wildcard"},
      {"1.2-alpha", "unexpected character `-` after minor version number, expected `,`"},
      {">=01.0", "invalid leading zero in major version number"},
      {"=>1.0", "unexpected character `>` while parsing major version number"},
      {"^1.2.3-", "empty identifier segment in pre-release identifier"},
  };
  for (const auto& c : cases) {
    auto req = VersionReq::parse(c.text);
    ASSERT_FALSE(req) << c.text;
    EXPECT_EQ(req.error().message(), c.message) << c.text;
  }
}

TEST(SemverReq, Matches) {
  struct Case {
    const char* req;
    const char* version;
    bool matches;
  } cases[] = {
      // caret, also as the bare form
      {"1.2.3", "1.2.3", true},        {"1.2.3", "1.9.0", true},          {"1.2.3", "2.0.0", false},
      {"1.2.3", "1.2.2", false},       {"^0.2.3", "0.2.9", true},         {"^0.2.3", "0.3.0", false},
      {"^0.0.3", "0.0.3", true},       {"^0.0.3", "0.0.4", false},        {"^0.0", "0.0.7", true},
      {"^0.0", "0.1.0", false},        {"^0", "0.9.9", true},             {"^1.2", "1.1.0", false},
      // tilde
      {"~1.2.3", "1.2.9", true},       {"~1.2.3", "1.3.0", false},        {"~1.2", "1.2.0", true},
      {"~1", "1.9.0", true},           {"~1", "2.0.0", false},
      // comparisons with partial versions
      {">1.2", "1.2.9", false},        {">1.2", "1.3.0", true},           {">=1.2", "1.2.0", true},
      {"<1.2", "1.1.9", true},         {"<1.2", "1.2.0", false},          {"<=1.2", "1.2.9", true},
      {"<=1.2", "1.3.0", false},       {"=1.2", "1.2.5", true},           {"=1.2.3", "1.2.4", false},
      // wildcards
      {"*", "0.0.1", true},            {"1.*", "1.5.0", true},            {"1.*", "2.0.0", false},
      {"1.2.x", "1.2.7", true},        {"1.2.x", "1.3.0", false},
      // several comparators
      {">=1.0, <2.0", "1.5.0", true},  {">=1.0, <2.0", "2.0.0", false},   {">=1.0, <2.0", "0.9.0", false},
      // build metadata never counts
      {"=1.2.3", "1.2.3+b5", true},
      // pre-releases only when a comparator names that release with a pre-release
      {"^1.0.0", "2.0.0-alpha", false}, {"^1.0.0", "1.5.0-alpha", false}, {"*", "1.0.0-rc.1", false},
      {">=1.0.0-rc.1", "1.0.0-rc.2", true}, {">=1.0.0-rc.1", "1.0.0-rc.0", false},
      {">=1.0.0-rc.1", "1.0.1-rc.1", false}, {">=1.0.0-rc.1", "1.0.1", true},
      {"<1.0.0", "1.0.0-rc.1", false}, {"^1.2.3-beta.2", "1.2.3-beta.4", true},
      {"^1.2.3-beta.2", "1.2.3", true}, {"~1.2.3-beta.2", "1.2.3-beta.1", false},
  };
  for (const auto& c : cases) {
    auto req = VersionReq::parse(c.req).value();
    auto v = Version::parse(c.version).value();
    EXPECT_EQ(req.matches(v), c.matches) << c.req << " ~ " << c.version;
  }
}

}  // namespace
}  // namespace kestro::semver
