#include "kestro/utils/iri.hpp"

#include <gtest/gtest.h>

namespace kestro::iri {
namespace {

TEST(Iri, ValidAbsoluteIris) {
  for (const char* text : {
           "https://www.omg.org/spec/SysML/20250201",
           "urn:x:y",
           "pkg:kestro/pub/name",
           "pkg:Kestro/Pub/x",
           "C:/lib",  // a one-letter scheme
           "a:",
           "mailto:someone@example.com",
           "http://user:pw@example.com:8080/a/b;c?x=1&y=/?#frag/?",
           "http://[::1]:80/",
           "http://[2001:db8::7:1.2.3.4]/",
           "http://[v7.a:b]/",
           "file:///home/x.kpar",
           "https://h:/empty-port",
           "http://%E4%BE%8B.jp/%20",
           "http://\xE4\xBE\x8B\xE3\x81\x88.jp/\xE3\x83\x91\xE3\x82\xB9?q=\xE5\x80\xA4#\xE7\x89\x87",
           "x:?\xEE\x80\x80",  // a private-use character in the query
           "s+v-1.x:a//b",
       }) {
    auto iri = Iri::parse(text);
    ASSERT_TRUE(iri) << text << ": " << iri.error().message();
    EXPECT_EQ(iri->as_str(), text);
  }
}

TEST(Iri, InvalidIris) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "no scheme found in an absolute IRI"},
      {"docs/index", "no scheme found in an absolute IRI"},
      {"project", "no scheme found in an absolute IRI"},
      {"1a:b", "no scheme found in an absolute IRI"},
      {":x", "no scheme found in an absolute IRI"},
      {" https://x", "no scheme found in an absolute IRI"},
      {"https://example.com/a b", "invalid character ` ` in path"},
      {"https://example.com/ab ", "invalid character ` ` in path"},
      {"https://exa mple.com/", "invalid character ` ` in host"},
      {"urn:x\ty", "invalid character U+0009 in path"},
      {"http://x/%4", "invalid percent-encoding in path"},
      {"http://x/?%zz", "invalid percent-encoding in query"},
      {"http://x/#a#b", "invalid character `#` in fragment"},
      {"http://x/<a>", "invalid character `<` in path"},
      {"http://x:8a/", "invalid character `a` in port"},
      {"http://a@b@c/", "invalid character `@` in host"},
      {"http://[::1/", "unterminated IP literal in host"},
      {"http://[1:2:3]/", "invalid IP literal `[1:2:3]` in host"},
      {"http://[::1::2]/", "invalid IP literal `[::1::2]` in host"},
      {"http://[::1]x/", "invalid character `x` in host"},
      {"http://x/\xEE\x80\x80", "invalid character U+E000 in path"},
      {"http://x/\xEF\xBF\xBE", "invalid character U+FFFE in path"},
      {"http://x/\xFF", "invalid UTF-8 in path"},
      {"http://x/\\", "invalid character `\\` in path"},
  };
  for (const auto& c : cases) {
    auto iri = Iri::parse(c.text);
    ASSERT_FALSE(iri) << c.text;
    EXPECT_EQ(iri.error().message(), c.message) << c.text;
  }
}

TEST(Iri, Components) {
  auto iri = Iri::parse("http://user@[::1]:8080/a/b?q=1#f").value();
  EXPECT_EQ(iri.scheme(), "http");
  EXPECT_EQ(iri.authority(), "user@[::1]:8080");
  EXPECT_EQ(iri.userinfo(), "user");
  EXPECT_EQ(iri.host(), "[::1]");
  EXPECT_EQ(iri.port(), "8080");
  EXPECT_EQ(iri.path(), "/a/b");
  EXPECT_EQ(iri.query(), "q=1");
  EXPECT_EQ(iri.fragment(), "f");

  auto urn = Iri::parse("urn:x:y#").value();
  EXPECT_EQ(urn.scheme(), "urn");
  EXPECT_EQ(urn.authority(), std::nullopt);
  EXPECT_EQ(urn.host(), std::nullopt);
  EXPECT_EQ(urn.path(), "x:y");
  EXPECT_EQ(urn.query(), std::nullopt);
  EXPECT_EQ(urn.fragment(), "");

  auto bare = Iri::parse("https://h?").value();
  EXPECT_EQ(bare.host(), "h");
  EXPECT_EQ(bare.port(), std::nullopt);
  EXPECT_EQ(bare.path(), "");
  EXPECT_EQ(bare.query(), "");
}

}  // namespace
}  // namespace kestro::iri
