#include <cmath>

#include <gtest/gtest.h>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "test_support.hpp"

namespace kestro::json {
namespace {

std::string read_error(std::string_view text) {
  Reader r(text);
  auto v = r.read_value();
  if (v) {
    auto e = r.end();
    return e ? std::string("ok") : e.error().message();
  }
  return v.error().message();
}

TEST(JsonReader, SyntaxErrors) {
  struct Case {
    std::string_view input;
    std::string_view message;
  } cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {" ", "EOF while parsing a value at line 1 column 1"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
      {"{} {}", "trailing characters at line 1 column 4"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
      {"nulx", "expected ident at line 1 column 4"},
      {"01", "invalid number at line 1 column 2"},
      {"-", "EOF while parsing a value at line 1 column 1"},
      {"-x", "invalid number at line 1 column 2"},
      {"1.", "EOF while parsing a value at line 1 column 2"},
      {"1e999", "number out of range at line 1 column 5"},
      {"\"a\nb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 2 column 0"},
      {"\"\\x\"", "invalid escape at line 1 column 3"},
      {"\"\xff\"", "invalid unicode code point at line 1 column 2"},
      {"[\n\n  \"abc", "EOF while parsing a string at line 3 column 6"},
      {"\"\\ud800\"", "unexpected end of hex escape at line 1 column 8"},
      {"\"\\udc00\"", "lone leading surrogate in hex escape at line 1 column 7"},
  };
  for (const auto& c : cases) EXPECT_EQ(read_error(c.input), c.message) << c.input;
}

TEST(JsonReader, NestingLimit) {
  std::string ok = std::string(127, '[') + std::string(127, ']');
  EXPECT_EQ(read_error(ok), "ok");
  std::string deep = std::string(128, '[') + std::string(128, ']');
  EXPECT_EQ(read_error(deep), "recursion limit exceeded at line 1 column 128");
}

TEST(JsonReader, SkipHasNoDepthLimitAndNoRecursion) {
  std::string deep = std::string(200000, '[') + std::string(200000, ']');
  Reader r(deep);
  ASSERT_TRUE(r.skip_value());
  EXPECT_TRUE(r.end());
  Reader bad("[[1,{\"a\":[}]]");
  EXPECT_EQ(bad.skip_value().error().message(), "expected value at line 1 column 11");
}

// A value that is passed over only has to be well-formed: numbers beyond a
// double's range, lone surrogate escapes and bytes that are not UTF-8 pass.
TEST(JsonReader, SkipJudgesOnlyTheSyntax) {
  struct Case {
    std::string_view input;
    std::string_view result;
  } cases[] = {
      {"[1e999,-1e999]", "ok"},
      {"{\"\\udc00\":\"\\ud800x\"}", "ok"},
      {"\"\xff\xfe\"", "ok"},
      {"\"a\\x\"", "invalid escape at line 1 column 4"},
      {"\"\\u12\"", "invalid escape at line 1 column 6"},
      {"\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"1.e5", "invalid number at line 1 column 3"},
  };
  for (const auto& c : cases) {
    Reader r(c.input);
    auto skipped = r.skip_value();
    EXPECT_EQ(skipped ? std::string("ok") : skipped.error().message(), c.result) << c.input;
  }
}

TEST(JsonValue, DeepTreesAreFreedWithoutStackPerLevel) {
  // A tree far deeper than any stack holds frames for, of arrays and objects
  // in turn, replaced by a scalar in a child so that a recursive
  // free crashes the child rather than the test run.
  int status = run_in_child([] {
    json::Value value(std::uint64_t{1});
    for (int level = 0; level < 1'000'000; ++level) {
      if (level % 2) {
        json::Array array;
        array.push_back(std::move(value));
        value = json::Value(std::move(array));
      } else {
        json::Object object;
        object.push_back("k", std::move(value));
        value = json::Value(std::move(object));
      }
    }
    value = json::Value(std::uint64_t{2});
    return 0;
  });
  EXPECT_EQ(status, 0);
}

TEST(JsonReader, TreeKeepsRepeatedKeysAndNumberKinds) {
  Reader r(R"({"a":1,"b":-2,"a":[1.5,18446744073709551615,18446744073709551616,-0],"s":"\u00e9\ud83d\ude00"})");
  auto v = r.read_value();
  ASSERT_TRUE(v);
  const Object& o = *v->as_object();
  ASSERT_EQ(o.size(), 4u);
  EXPECT_EQ(o.count("a"), 2u);
  EXPECT_EQ(o.members()[0].second, Value(std::uint64_t{1}));
  EXPECT_EQ(o.members()[1].second, Value(std::int64_t{-2}));
  const Array& a = *o.members()[2].second.as_array();
  EXPECT_EQ(a[0], Value(1.5));
  EXPECT_EQ(a[1], Value(std::uint64_t{18446744073709551615u}));
  EXPECT_EQ(a[2], Value(18446744073709551616.0));
  EXPECT_TRUE(std::holds_alternative<double>(a[3].v));
  EXPECT_EQ(*o.members()[3].second.as_string(), "\xC3\xA9\xF0\x9F\x98\x80");

  Object n = normalized(o);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(n.members()[0].first, "a");
  EXPECT_TRUE(n.members()[0].second.as_array());
}

TEST(JsonReader, InvalidTypeDescriptions) {
  struct Case {
    std::string_view input;
    std::string_view message;
  } cases[] = {
      {"null", "invalid type: null, expected a string at line 1 column 4"},
      {"true", "invalid type: boolean `true`, expected a string at line 1 column 4"},
      {"5", "invalid type: integer `5`, expected a string at line 1 column 1"},
      {"-5", "invalid type: integer `-5`, expected a string at line 1 column 2"},
      {"1e3", "invalid type: floating point `1000.0`, expected a string at line 1 column 3"},
      {"[1]", "invalid type: sequence, expected a string at line 1 column 0"},
      {" {}", "invalid type: map, expected a string at line 1 column 1"},
  };
  for (const auto& c : cases) {
    Reader r(c.input);
    EXPECT_EQ(r.read_string().error().message(), c.message) << c.input;
  }
  Reader s("\"x\\ty\"");
  EXPECT_EQ(s.read_bool().error().message(), "invalid type: string \"x\\ty\", expected a boolean at line 1 column 6");
}

TEST(JsonWriter, FloatText) {
  struct Case {
    double value;
    std::string_view text;
  } cases[] = {
      {1.0, "1.0"}, {1.5, "1.5"}, {-0.0, "-0.0"}, {0.0, "0.0"}, {1e15, "1000000000000000.0"},
      {1e16, "1e16"}, {1e20, "1e20"}, {1.25e20, "1.25e20"}, {0.001, "0.001"}, {1e-7, "1e-7"},
      {123.456, "123.456"}, {1.5e-5, "0.000015"}, {1.5e-6, "1.5e-6"}, {-2.5e300, "-2.5e300"}, {0.1 + 0.2, "0.30000000000000004"},
  };
  for (const auto& c : cases) EXPECT_EQ(format_float(c.value), c.text);
}

TEST(JsonWriter, Layouts) {
  Reader ok(R"({"k":[1,{"x":"a\"b\\c\u0001\u007f/é"},[],{}],"e":{},"n":null,"t":false})");
  auto v = ok.read_value();
  ASSERT_TRUE(v);
  Writer compact;
  compact.value(*v);
  EXPECT_EQ(compact.str(), "{\"k\":[1,{\"x\":\"a\\\"b\\\\c\\u0001\x7f/é\"},[],{}],\"e\":{},\"n\":null,\"t\":false}");
  Writer pretty(Writer::Style::Pretty);
  pretty.value(*v);
  EXPECT_EQ(pretty.str(),
            "{\n  \"k\": [\n    1,\n    {\n      \"x\": \"a\\\"b\\\\c\\u0001\x7f/é\"\n    },\n    [],\n    {}\n  ],\n"
            "  \"e\": {},\n  \"n\": null,\n  \"t\": false\n}");
  Writer nonfinite;
  nonfinite.f64(HUGE_VAL);
  EXPECT_EQ(nonfinite.str(), "null");
}

}  // namespace
}  // namespace kestro::json
