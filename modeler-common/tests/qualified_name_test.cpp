#include "kestro/modeler/qualified_name.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestro::modeler {
namespace {

using Segments = std::vector<std::string>;

TEST(QualifiedName, ReadsSegments) {
  struct Case {
    std::string text;
    Segments segments;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"Pkg", {"Pkg"}},
      {"Pkg::'a::b'", {"Pkg", "a::b"}},
      {"Pkg::a::b", {"Pkg", "a", "b"}},
      {"'Pkg'::'a'", {"Pkg", "a"}},
      {"Pkg::a", {"Pkg", "a"}},
      {"''", {""}},
      {"''::x", {"", "x"}},
      {"_x9", {"_x9"}},
      {"'it\\'s'", {"it's"}},
      {"'a\\tb'", {"a\tb"}},
      {"'\\\\\\b\\f\\n\\r\\t\\\"\\''", {"\\\b\f\n\r\t\"'"}},
      {"'a b-ç'", {"a b-ç"}},
  };
  for (const auto& c : cases) {
    const auto got = parse_qualified_name_segments(c.text);
    ASSERT_TRUE(got.has_value()) << c.text << ": " << got.error().message();
    EXPECT_EQ(*got, c.segments) << c.text;
  }
}

TEST(QualifiedName, RefusesWithTheFirstFault) {
  struct Case {
    std::string text;
    QualifiedNameError error;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"'abc", QualifiedNameError::UnclosedQuote{}, "a quoted name segment is never closed"},
      {"'a\\qb'", QualifiedNameError::InvalidEscape{"q"}, "`\\q` is not an escape a quoted name segment can hold"},
      {"'a\\éb'", QualifiedNameError::InvalidEscape{"é"}, "`\\é` is not an escape a quoted name segment can hold"},
      {"'abc\\", QualifiedNameError::TrailingBackslash{}, "the name ends in a `\\`"},
      {"a:b", QualifiedNameError::MissingSeparator{}, "name segments are separated by `::`"},
      {"a:", QualifiedNameError::MissingSeparator{}, "name segments are separated by `::`"},
      {"'a'b", QualifiedNameError::MissingSeparator{}, "name segments are separated by `::`"},
      {"Pkg::a b", QualifiedNameError::NotPlainName{"a b"}, "`a b` is not a plain name; write it quoted, as `'a b'`"},
      {"1abc", QualifiedNameError::NotPlainName{"1abc"}, "`1abc` is not a plain name; write it quoted, as `'1abc'`"},
      {"a-b", QualifiedNameError::NotPlainName{"a-b"}, "`a-b` is not a plain name; write it quoted, as `'a-b'`"},
      {"é", QualifiedNameError::NotPlainName{"é"}, "`é` is not a plain name; write it quoted, as `'é'`"},
      {"a'b'", QualifiedNameError::NotPlainName{"a'b'"}, "`a'b'` is not a plain name; write it quoted, as `'a'b''`"},
      {"A :: B", QualifiedNameError::NotPlainName{"A "}, "`A ` is not a plain name; write it quoted, as `'A '`"},
      {"a::", QualifiedNameError::EmptySegment{}, "a name segment is empty; an empty segment is written `''`"},
      {"::a", QualifiedNameError::EmptySegment{}, "a name segment is empty; an empty segment is written `''`"},
      {"a::::b", QualifiedNameError::EmptySegment{}, "a name segment is empty; an empty segment is written `''`"},
      // The first fault wins over a later one.
      {"a:b::'c", QualifiedNameError::MissingSeparator{}, "name segments are separated by `::`"},
  };
  for (const auto& c : cases) {
    const auto got = parse_qualified_name_segments(c.text);
    ASSERT_FALSE(got.has_value()) << c.text;
    EXPECT_EQ(got.error(), c.error) << c.text << ": " << got.error().debug();
    EXPECT_EQ(got.error().message(), c.message) << c.text;
  }
}

}  // namespace
}  // namespace kestro::modeler
