#include "kestro/model/purl.hpp"

#include <gtest/gtest.h>

namespace kestro::model {
namespace {

TEST(PurlField, NormalizeAndValidate) {
  EXPECT_EQ(normalize_purl_field("My Project"), "my-project");
  EXPECT_EQ(normalize_purl_field("\xC3\x84" "BC"), "\xC3\x84" "bc");
  struct Case {
    std::string field;
    bool publisher;
    bool name;
  } cases[] = {
      {"abc", true, true},         {"a-b-c", true, true},        {"0x1", true, true},
      {std::string(50, 'a'), true, true},                        {std::string(51, 'a'), false, false},
      {"ab", false, false},        {"-abc", false, false},       {"abc-", false, false},
      {"a--b", false, false},      {"a.b", false, true},         {"a-b.c", false, true},
      {"a.-b", false, false},      {"a..b", false, false},       {".ab", false, false},
      {"My Project", true, true},  {"Acme Labs", true, true},    {"a  b", false, false},
      {"\xC3\x84" "BC", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_valid_purl_field(c.field, PurlField::Publisher), c.publisher) << c.field;
    EXPECT_EQ(is_valid_purl_field(c.field, PurlField::Name), c.name) << c.field;
  }
}

TEST(Purl, Parse) {
  struct Case {
    const char* text;
    std::optional<KestroPurl> ok;
    std::optional<PurlError> error;
  } cases[] = {
      {"pkg:kestro/acme/widgets", KestroPurl{"acme", "widgets"}, {}},
      {"PKG:kestro/acme/widgets", KestroPurl{"acme", "widgets"}, {}},
      {"pKg:kestro/pub/my.tool-2", KestroPurl{"pub", "my.tool-2"}, {}},
      {"pkg:kestro/Acme/widgets", {}, PurlError::NotNormalized{"pkg:kestro/Acme/widgets", "acme", "widgets"}},
      {"pkg:kestro/my pub/Tool", {}, PurlError::NotNormalized{"pkg:kestro/my pub/Tool", "my-pub", "tool"}},
      {"pkg:kestro/acme", {}, PurlError::WrongShape{"pkg:kestro/acme", 1}},
      {"pkg:kestro/", {}, PurlError::WrongShape{"pkg:kestro/", 1}},
      {"pkg:kestro/acme/widgets/x", {}, PurlError::WrongShape{"pkg:kestro/acme/widgets/x", 3}},
      {"pkg:kestro/a/b/", {}, PurlError::WrongShape{"pkg:kestro/a/b/", 3}},
      {"pkg:kestro/ab/widgets", {}, PurlError::InvalidPublisher{"pkg:kestro/ab/widgets", "ab"}},
      {"pkg:kestro/acme/w!", {}, PurlError::InvalidName{"pkg:kestro/acme/w!", "w!"}},
      // A repairable publisher is no invalid one: the name is what is wrong.
      {"pkg:kestro/Acme/w!", {}, PurlError::InvalidName{"pkg:kestro/Acme/w!", "w!"}},
      {"pkg:kestro/Pub/x", {}, PurlError::InvalidName{"pkg:kestro/Pub/x", "x"}},
      {"pkg:kestro/ab/Name", {}, PurlError::InvalidPublisher{"pkg:kestro/ab/Name", "ab"}},
      {"pkg:kestro/a.b/name", {}, PurlError::InvalidPublisher{"pkg:kestro/a.b/name", "a.b"}},
  };
  for (const auto& c : cases) {
    auto got = parse_kestro_purl(c.text);
    if (c.ok) {
      ASSERT_TRUE(got) << c.text << ": " << got.error().message();
      EXPECT_EQ(*got, c.ok) << c.text;
    } else {
      ASSERT_FALSE(got) << c.text;
      EXPECT_EQ(got.error(), *c.error) << c.text << ": " << got.error().debug();
    }
  }
  // Not package identifiers at all: no result, no error.
  for (const char* text : {"pkg:Kestro/Pub/x", "pkg:KESTRO/a/b", "pkg:kestro", "urn:kestro:a/b", "pkgs:kestro/a/b",
                           "https://example.com/pkg:kestro/a/b", ""}) {
    auto got = parse_kestro_purl(text);
    ASSERT_TRUE(got) << text;
    EXPECT_EQ(*got, std::nullopt) << text;
  }
  EXPECT_TRUE(parse_kestro_purl("pkg:kestro/ab/widgets").error().holds<PurlError::InvalidPublisher>());
}

TEST(Purl, Messages) {
  EXPECT_EQ(PurlError(PurlError::WrongShape{"pkg:kestro/", 1}).message(),
            "`pkg:kestro/` is not a valid `pkg:kestro` PURL: expected exactly two `/`-separated segments after "
            "`pkg:kestro/`, found 1");
  EXPECT_EQ(PurlError(PurlError::InvalidPublisher{"pkg:kestro/ab/x", "ab"}).message(),
            "`pkg:kestro/ab/x` is not a valid `pkg:kestro` PURL: publisher segment `ab` is not a valid `pkg:kestro` "
            "field (3-50 ASCII alphanumeric chars, with single ` ` or `-` separators between words)");
  EXPECT_EQ(PurlError(PurlError::InvalidName{"pkg:kestro/abc/x", "x"}).message(),
            "`pkg:kestro/abc/x` is not a valid `pkg:kestro` PURL: name segment `x` is not a valid `pkg:kestro` "
            "field (3-50 ASCII alphanumeric chars, with single ` `, `-`, or `.` separators between words)");
  EXPECT_EQ(PurlError(PurlError::NotNormalized{"PKG:kestro/Pub/name", "pub", "name"}).message(),
            "`PKG:kestro/Pub/name` is not a valid `pkg:kestro` PURL, but can be normalized to `pkg:kestro/pub/name`");
}

TEST(Purl, ExpandShorthand) {
  struct Case {
    const char* text;
    std::optional<std::string> iri;  // expanded
    std::optional<PurlError> error;  // neither: not shorthand
  } cases[] = {
      {"acme/widgets", "pkg:kestro/acme/widgets", {}},
      {"my-pub/tool.kit", "pkg:kestro/my-pub/tool.kit", {}},
      {"acme/Widgets", {}, PurlError::NotNormalized{"pkg:kestro/acme/Widgets", "acme", "widgets"}},
      {"ab/widgets", {}, PurlError::InvalidPublisher{"pkg:kestro/ab/widgets", "ab"}},
      {"acme/", {}, PurlError::InvalidName{"pkg:kestro/acme/", ""}},
      {"widgets", {}, {}},
      {"a/b/c", {}, {}},
      {"x:y/z", {}, {}},
      {"https://example.com/a", {}, {}},
      {"", {}, {}},
  };
  for (const auto& c : cases) {
    auto got = expand_purl_shorthand(c.text);
    if (c.error) {
      ASSERT_FALSE(got) << c.text;
      EXPECT_EQ(got.error(), *c.error) << c.text << ": " << got.error().debug();
    } else {
      ASSERT_TRUE(got) << c.text << ": " << got.error().message();
      EXPECT_EQ(*got, c.iri) << c.text;
    }
  }
}

}  // namespace
}  // namespace kestro::model
