#include "kestro/auth/url_glob.hpp"

#include <gtest/gtest.h>

namespace kestro::auth {
namespace {

TEST(UrlGlob, MatchTable) {
  const std::string b = "https://idx.example/base";
  struct Case {
    std::string pattern;
    std::string url;
    bool matches;
  };
  std::vector<Case> cases = {
      // One segment deep with `/*`, any depth with `/**`, never B itself.
      {b + "/*", b + "/versions.json", true},
      {b + "/*", b + "/a/versions.json", false},
      {b + "/*", b + "/", true},
      {b + "/**", b + "/versions.json", true},
      {b + "/**", b + "/a/b/c.kpar", true},
      {b + "/**", b + "/", true},
      {b + "/**", b, false},
      // Without wildcards: the identical text only.
      {b, b, true},
      {b, b + "/", false},
      // Case-sensitive: an upper-case host never matches the serialised URL.
      {"https://IDX.example/base/**", b + "/x", false},
      // `?` and classes never match `/`.
      {"https://idx.example/ba?e/x", b + "/x", true},
      {"https://idx.example/base?x", b + "/x", false},
      {"https://idx.example/base[/]x", b + "/x", false},
      {"https://idx.example/base[!a]x", b + "/x", false},
      {"https://idx.example/b[a-c]se", b, true},
      {"https://idx.example/b[!a-c]se", b, false},
      {"https://idx.example/b[]a]se", b, true},
      {"https://idx.example/b[-a]se", b, true},
      {"https://idx.example/b[a-]se", b, true},
      {"https://idx.example/b[^x]se", b, true},
      // Alternatives, escapes, and `**` that forms no component.
      {"https://{idx,other}.example/base", b, true},
      {"https://{other,more}.example/base", b, false},
      {"https://idx.example/{base,}", b, true},
      {"https://idx.example/base\\*", b + "*", true},
      {"https://idx.example/base\\*", b + "x", false},
      {"https://idx.example/ba**", b, true},
      {"https://idx.example/ba**", b + "/x", false},
      {"https://idx.example/**x", "https://idx.example/ax", true},
      {"https://idx.example/**x", "https://idx.example/a/x", false},
      // `**` as a component: prefix, inside, alone.
      {"**/versions.json", b + "/versions.json", true},
      {"**/versions.json", "versions.json", true},
      {"https://idx.example/**/v.json", "https://idx.example/v.json", true},
      {"https://idx.example/**/v.json", "https://idx.example/a/b/v.json", true},
      {"https://idx.example/**/v.json", "https://idx.example/av.json", false},
      {"**", "anything at all/with/slashes", true},
      {"**", "", true},
      // The whole text, anchored at both ends.
      {"idx.example", b, false},
      {"*", b, false},
      {"https:*", "https:", true},
      // Bytes that are no UTF-8 stand for themselves: an overlong form is
      // not the character it spells, and `?` takes one such byte.
      {"https://a/\xC1\x95", "https://a/U", false},
      {"https://a/U", "https://a/\xC1\x95", false},
      {"https://a/\xC1\x95", "https://a/\xC1\x95", true},
      {"https://a/??", "https://a/\xC1\x95", true},
      {"https://a/?", "https://a/\xC3\xA9", true},
  };
  for (const Case& c : cases) {
    auto glob = Glob::compile(c.pattern);
    ASSERT_TRUE(glob) << c.pattern << ": " << glob.error().message();
    EXPECT_EQ(glob->matches(c.url), c.matches) << c.pattern << " vs " << c.url;
  }
}

// Each failed attempt is tried once: a pattern of many stars against a long
// segment that almost matches ends at once (tried naively, never).
TEST(UrlGlob, ManyStarsAgainstALongSegmentFinish) {
  std::string pattern = "https://a/";
  for (int i = 0; i < 16; ++i) pattern += "*a";
  std::string text = "https://a/" + std::string(300, 'a');
  auto glob = Glob::compile(pattern + "b");
  ASSERT_TRUE(glob);
  EXPECT_FALSE(glob->matches(text));
  EXPECT_TRUE(glob->matches(text + "b"));
  auto alternatives = Glob::compile("https://a/{" + pattern.substr(10) + "b,*a*a*a*a*a*a*a*a*a*a*c}");
  ASSERT_TRUE(alternatives);
  EXPECT_FALSE(alternatives->matches(text));
  EXPECT_TRUE(alternatives->matches(text + "c"));
}

TEST(UrlGlob, CompileErrorTexts) {
  struct Case {
    std::string pattern;
    std::string message;
  };
  std::vector<Case> cases = {
      {"https://a/[b", "error parsing glob 'https://a/[b': unclosed character class; missing ']'"},
      {"https://a/[]", "error parsing glob 'https://a/[]': unclosed character class; missing ']'"},
      {"https://a/[z-a]", "error parsing glob 'https://a/[z-a]': invalid character range"},
      {"https://a/}", "error parsing glob 'https://a/}': unopened alternate group; missing '{' (maybe escape '}' with '[}]'?)"},
      {"https://a/{b", "error parsing glob 'https://a/{b': unclosed alternate group; missing '}' (maybe escape '{' with '[{]'?)"},
      {"https://a/{b,{c}}", "error parsing glob 'https://a/{b,{c}}': nested alternate groups are not allowed"},
      {"https://a/\\", "error parsing glob 'https://a/\\': dangling '\\'"},
  };
  for (const Case& c : cases) {
    auto glob = Glob::compile(c.pattern);
    ASSERT_FALSE(glob) << c.pattern;
    EXPECT_EQ(glob.error().message(), c.message);
  }
}

TEST(UrlGlobMap, LookupGivesNoneOneOrManyInPushOrder) {
  UrlGlobMapBuilder<int> empty;
  auto empty_map = build_url_glob_map(std::move(empty));
  ASSERT_TRUE(empty_map);
  EXPECT_TRUE(std::holds_alternative<GlobLookup<int>::None>(glob_map_lookup(*empty_map, "https://a/").result));

  UrlGlobMapBuilder<int> builder;
  builder.push("https://a/**", 1);
  builder.push("https://b/**", 2);
  builder.push("https://a/**", 3);
  builder.push("https://a/x/*", 4);
  auto map = build_url_glob_map(std::move(builder));
  ASSERT_TRUE(map);
  auto one = glob_map_lookup(*map, "https://b/x");
  ASSERT_TRUE(std::holds_alternative<GlobLookup<int>::One>(one.result));
  EXPECT_EQ(*std::get<GlobLookup<int>::One>(one.result).value, 2);
  auto many = glob_map_lookup(*map, "https://a/x/y");
  ASSERT_TRUE(std::holds_alternative<GlobLookup<int>::Many>(many.result));
  const auto& matches = std::get<GlobLookup<int>::Many>(many.result).matches;
  ASSERT_EQ(matches.size(), 3u);
  EXPECT_EQ(matches[0].pattern, "https://a/**");
  EXPECT_EQ(*matches[0].value, 1);
  EXPECT_EQ(matches[1].pattern, "https://a/**");
  EXPECT_EQ(*matches[1].value, 3);
  EXPECT_EQ(matches[2].pattern, "https://a/x/*");
  EXPECT_EQ(*matches[2].value, 4);
  EXPECT_TRUE(std::holds_alternative<GlobLookup<int>::None>(glob_map_lookup(*map, "https://c/").result));
}

TEST(UrlGlobMap, FirstBadPatternFailsTheWholeBuild) {
  UrlGlobMapBuilder<int> builder;
  builder.push("https://a/**", 1);
  builder.push("https://a/[x", 2);
  builder.push("https://a/{", 3);
  auto map = build_url_glob_map(std::move(builder));
  ASSERT_FALSE(map);
  EXPECT_EQ(map.error().message(), "error parsing glob 'https://a/[x': unclosed character class; missing ']'");
}

}  // namespace
}  // namespace kestro::auth
