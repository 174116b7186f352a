#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_read.hpp"
#include "kestro/utils/toml_value.hpp"
#include "kestro/utils/toml_write.hpp"
#include "test_support.hpp"

namespace kestro::toml {
namespace {

using namespace std::string_view_literals;

// The whole document in inline form, or the error text.
std::string dump(std::string_view text) {
  auto doc = parse(std::string(text));
  if (!doc) return doc.error().message();
  auto value = to_value(*doc, doc->root());
  if (!value) return value.error().message();
  return write_inline(*value);
}

// The reason of a parse error, or "ok".
std::string reason(std::string_view text) {
  auto doc = parse(std::string(text));
  return doc ? "ok" : doc.error().reason();
}

TEST(TomlParse, Values) {
  struct Case {
    std::string_view input;
    std::string_view expected;
  } cases[] = {
      {"", "{}"},
      {"a = 1\nb = -0\nc = +17", "{ a = 1, b = 0, c = 17 }"},
      {"a = 0xdead_BEEF\nb = 0o17\nc = 0b101", "{ a = 3735928559, b = 15, c = 5 }"},
      {"a = 1.5\nb = 1e3\nc = -2E-2\nd = 1_0.0_1\ne = 1e-400", "{ a = 1.5, b = 1000.0, c = -0.02, d = 10.01, e = 0.0 }"},
      {"a = inf\nb = -inf\nc = nan", "{ a = inf, b = -inf, c = nan }"},
      {"t = true\nf = false", "{ t = true, f = false }"},
      {"a = 1979-05-27T07:32:00Z\nb = 1979-05-27 07:32:00.5+01:00\nc = 1979-05-27\nd = 07:32\ne = 1979-05-27 # date",
       "{ a = 1979-05-27T07:32:00Z, b = 1979-05-27 07:32:00.5+01:00, c = 1979-05-27, d = 07:32, e = 1979-05-27 }"},
      {R"(a = "tab\there \"q\" \\ \u00E9 \U0001F600 \e \x41")", "{ a = \"tab\\there \\\"q\\\" \\\\ é 😀 \\u001B A\" }"},
      {"a = 'C:\\x'\nb = '''\nl1\nl2'''", "{ a = 'C:\\x', b = \"\"\"\nl1\nl2\"\"\" }"},
      {"a = \"\"\"\\\n   x \\\n  y\"\"\"", "{ a = \"x y\" }"},
      {"a = \"\"\"q\"\"\"\"\"\nb = '''''x'''''", "{ a = 'q\"\"', b = \"''x''\" }"},
      {"a = \"\"\"x\r\ny\"\"\"", "{ a = \"\"\"\nx\ny\"\"\" }"},
      {"\"a.b\" = 1\n'' = 2\nc . d = 3", "{ \"a.b\" = 1, \"\" = 2, c = { d = 3 } }"},
      {"a = [1, [2, 'x'], { b = 3 }, ]\nc = [\n  # comment\n  1,\n\n  2\n]", "{ a = [1, [2, \"x\"], { b = 3 }], c = [1, 2] }"},
      {"a = { b = 1, c.d = 2 }\ne = {\n  f = 1, # newline and comment\n  g = 2,\n}", "{ a = { b = 1, c = { d = 2 } }, e = { f = 1, g = 2 } }"},
      {"[a.b]\nx = 1\n[a]\ny = 2", "{ a = { b = { x = 1 }, y = 2 } }"},
      {"[a.b.c]\n[a]\nb.d = 1", "{ a = { b = { c = {}, d = 1 } } }"},
      {"[[a]]\nx = 1\n[a.s]\ny = 2\n[[a]]\n[[a.t]]\nz = 3", "{ a = [{ x = 1, s = { y = 2 } }, { t = [{ z = 3 }] }] }"},
      {"[f]\napple.color = 'red'\n[f.apple.texture]\nsmooth = true",
       "{ f = { apple = { color = \"red\", texture = { smooth = true } } } }"},
      {"\xEF\xBB\xBF" "a = 1", "{ a = 1 }"},
  };
  for (const auto& c : cases) EXPECT_EQ(dump(c.input), c.expected) << c.input;
}

TEST(TomlParse, Errors) {
  struct Case {
    std::string_view input;
    std::string_view reason;
  } cases[] = {
      {"a = 1\na = 2", "duplicate key `a`"},
      {"[a]\n[a]", "duplicate key `a`"},
      {"a.b = 1\n[a]", "duplicate key `a`"},
      {"[a]\nb.c = 1\n[a.b]", "duplicate key `b`"},
      {"[a.b]\n[a]\nb.x = 1", "duplicate key `b`"},
      {"a = { b = 1 }\n[a.c]", "duplicate key `a`"},
      {"a = { b = 1, b = 2 }", "duplicate key `b`"},
      {"a = []\n[[a]]", "duplicate key `a`"},
      {"a = 1\n[a.b]", "duplicate key `a`"},
      {"a = 1\n\"\\u0061\" = 2", "duplicate key `a`"},  // keys compare decoded
      {"[a]\nb = [1]\n[[a.b]]", "duplicate key `b`"},
      {"a", "expected `=` after the key"},
      {"= 1", "invalid key"},
      {"a =", "expected a value"},
      {"a = hello", "expected a value"},
      {"a = truex", "expected a value"},
      {"a = 1 2", "expected newline or comment"},
      {"[a", "expected `]` to close the table header"},
      {"[[a]", "expected `]]` to close the array-of-tables header"},
      {"a = \"x", "unterminated string"},
      {"a = \"x\ny\"", "unterminated string"},
      {"a = \"\"\"x", "unterminated string"},
      {"a = \"\\q\"", "invalid escape sequence"},
      {"a = \"\\uD800\"", "invalid unicode escape: not a scalar value"},
      {"a = \"\"\"x\"\"\"\"\"\"", "too many quotes at the end of a multi-line string"},
      {"a = \"x\x01\"", "control characters are not allowed in strings"},
      {"a = \"\xff\"", "invalid UTF-8"},
      {"a = 1\r", "expected newline or comment"},
      {"\rb = 1", "carriage return without line feed"},
      {"a = [\r]", "carriage return without line feed"},
      {"a = 01", "invalid number: leading zeros are not allowed"},
      {"a = 1__0", "invalid number"},
      {"a = 1.", "invalid number"},
      {"a = +0x1", "invalid number"},
      {"a = 1e400", "floating-point number overflowed"},
      {"a = 1979-02-29", "invalid date-time"},
      {"a = 1979-05-27T25:00:00", "invalid date-time"},
      {"a = 1979-13-01", "invalid date-time"},
      {"a = 1979-05-27T07:32:00+24:00", "invalid date-time"},
      {"a = [1 2]", "expected `,` or `]`"},
      {"a = [1,", "unterminated array"},
      {"a = { b = 1 c = 2 }", "expected `,` or `}`"},
      {"a = { b = 1", "unterminated inline table"},
  };
  for (const auto& c : cases) EXPECT_EQ(reason(c.input), c.reason) << c.input;
}

// A comment takes tab, printable ASCII and any other Unicode character; every
// other control is refused at its own byte, in the usual error layout. A line
// feed, or a carriage return followed by one, ends the comment.
TEST(TomlParse, ControlCharactersInComments) {
  struct Case {
    std::string_view name;
    std::string_view tail;      // what follows "k = 1\n# a"
    std::string_view expected;  // the document in inline form, or the first line of the error
  } cases[] = {
      {"tab", "\t\t", "{ k = 1, m = 2 }"},
      {"printable", " ~!#\"'", "{ k = 1, m = 2 }"},
      {"non-ASCII", "\u00e9\u20ac\U0001F600", "{ k = 1, m = 2 }"},
      {"line feed ends it", "\nn = 3", "{ k = 1, n = 3, m = 2 }"},
      {"CRLF ends it", "\r", "{ k = 1, m = 2 }"},
      {"NUL", "\x00"sv, "TOML parse error at line 2, column 4"},
      {"U+0001", "\x01", "TOML parse error at line 2, column 4"},
      {"backspace", "\x08", "TOML parse error at line 2, column 4"},
      {"lone carriage return", "\rz", "TOML parse error at line 2, column 4"},
      {"vertical tab", "\x0b", "TOML parse error at line 2, column 4"},
      {"form feed", "\x0c", "TOML parse error at line 2, column 4"},
      {"U+000E", "\x0e", "TOML parse error at line 2, column 4"},
      {"escape", "\x1b[0m", "TOML parse error at line 2, column 4"},
      {"U+001F", "\x1f", "TOML parse error at line 2, column 4"},
      {"DEL", "\x7f", "TOML parse error at line 2, column 4"},
      {"DEL after printable and non-ASCII", "b\u00e9\x7f", "TOML parse error at line 2, column 6"},
  };
  for (const auto& c : cases) {
    const std::string text = "k = 1\n# a" + std::string(c.tail) + "\nm = 2\n";
    auto doc = parse(text);
    if (!c.expected.starts_with("TOML")) {
      EXPECT_EQ(dump(text), c.expected) << c.name;
      continue;
    }
    ASSERT_FALSE(doc) << c.name;
    EXPECT_EQ(doc.error().reason(), "control characters are not allowed in comments") << c.name;
    const std::string message = doc.error().message();
    EXPECT_EQ(message.substr(0, message.find('\n')), c.expected) << c.name;
    ASSERT_TRUE(doc.error().span()) << c.name;
    EXPECT_EQ(doc.error().span()->end - doc.error().span()->begin, 1u) << c.name;
  }
}

TEST(TomlParse, LargeTablesFindDuplicates) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "k" + std::to_string(i) + " = " + std::to_string(i) + "\n";
  auto doc = parse(text);
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->entries(doc->root()).size(), 100u);
  EXPECT_EQ(doc->text(doc->get(doc->root(), "k99")), "99");
  EXPECT_EQ(reason(text + "k7 = 1\n"), "duplicate key `k7`");
  EXPECT_EQ(reason(text + "k99.x = 1\n"), "duplicate key `k99`");
}

TEST(TomlParse, IntegersUpTo128Bits) {
  struct Case {
    std::string_view literal;
    std::string_view expected;  // the value, or the reason
  } cases[] = {
      {"1267650600228229401496703205376", "1267650600228229401496703205376"},  // 2^100
      {"340282366920938463463374607431768211455", "340282366920938463463374607431768211455"},
      {"-170141183460469231731687303715884105728", "-170141183460469231731687303715884105728"},
      {"340282366920938463463374607431768211456", "integer number overflowed"},
      {"-170141183460469231731687303715884105729", "integer number overflowed"},
      {"1606938044258990275541962092341162602522202993782792835301376", "integer number overflowed"},  // 2^200
      {"0xffffffffffffffffffffffffffffffff", "340282366920938463463374607431768211455"},
  };
  for (const auto& c : cases) {
    auto doc = parse("a = " + std::string(c.literal));
    std::string got = doc ? doc->node(doc->get(doc->root(), "a")).integer.to_string() : doc.error().reason();
    EXPECT_EQ(got, c.expected) << c.literal;
  }
  // The owned tree holds the 64-bit ranges only.
  EXPECT_EQ(dump("a = 18446744073709551615\nb = -9223372036854775808"),
            "{ a = 18446744073709551615, b = -9223372036854775808 }");
  EXPECT_EQ(dump("a = 18446744073709551616"), "integer number overflowed\n");
}

TEST(TomlParse, NestingIsLimited) {
  auto nested = [](char open, char close, int n, std::string_view inner) {
    return std::string(n, open) + std::string(inner) + std::string(n, close);
  };
  EXPECT_EQ(reason("a = " + nested('[', ']', kMaxDepth, "")), "ok");
  EXPECT_EQ(reason("a = " + nested('[', ']', kMaxDepth + 1, "")), "recursion limit exceeded");
  // Scalars and strings count as a level of their own.
  EXPECT_EQ(reason("a = " + nested('[', ']', kMaxDepth - 1, "1")), "ok");
  EXPECT_EQ(reason("a = " + nested('[', ']', kMaxDepth, "1")), "recursion limit exceeded");
  EXPECT_EQ(reason("a = " + nested('[', ']', kMaxDepth, "'x'")), "recursion limit exceeded");
  auto inline_nested = [](int n) {
    std::string text = "a = ";
    for (int i = 0; i < n; ++i) text += "{b=";
    return text + "1" + std::string(n, '}');
  };
  EXPECT_EQ(reason(inline_nested(kMaxDepth - 1)), "ok");
  EXPECT_EQ(reason(inline_nested(kMaxDepth)), "recursion limit exceeded");
  auto dotted_key = [](int segments) {
    std::string key = "a";
    for (int i = 1; i < segments; ++i) key += ".a";
    return key + " = 1";
  };
  EXPECT_EQ(reason(dotted_key(kMaxDepth)), "ok");
  EXPECT_EQ(reason(dotted_key(kMaxDepth + 1)), "recursion limit exceeded");
  EXPECT_EQ(reason("a = " + nested('[', ']', 100000, "")), "recursion limit exceeded");
  std::string inline_tables = "a = ";
  for (int i = 0; i < 100000; ++i) inline_tables += "{b=";
  EXPECT_EQ(reason(inline_tables), "recursion limit exceeded");
  std::string dotted = "a";
  for (int i = 0; i < 100000; ++i) dotted += ".a";
  EXPECT_EQ(reason(dotted + " = 1"), "recursion limit exceeded");
  EXPECT_EQ(reason("[" + dotted + "]"), "recursion limit exceeded");
}

TEST(TomlError, Layout) {
  auto doc = parse("title = \"x\"\n\n\n\n\n\n\n\n\n[t]\n\"ключ\" = 1 2\n");
  ASSERT_FALSE(doc);
  EXPECT_EQ(doc.error().message(),
            "TOML parse error at line 11, column 12\n"
            "   |\n"
            "11 | \"ключ\" = 1 2\n"
            "   |            ^\n"
            "expected newline or comment\n");

  // Carets cover the span's bytes but stop at the end of its line.
  Error multiline("invalid type: sequence, expected a string", Span{4, 12});
  multiline.set_input("a = [\n  1,\r\n]\n");
  EXPECT_EQ(multiline.message(),
            "TOML parse error at line 1, column 5\n"
            "  |\n"
            "1 | a = [\n"
            "  |     ^\n"
            "invalid type: sequence, expected a string\n");
  Error at_end("expected a value", Span{3, 3});
  at_end.set_input("a =");
  EXPECT_EQ(at_end.message(), "TOML parse error at line 1, column 4\n  |\n1 | a =\n  |    ^\nexpected a value\n");

  // Without a span: the reason, then the keys.
  Error no_span("invalid type: map, expected a sequence");
  no_span.add_key("index");
  no_span.add_key("outer");
  EXPECT_EQ(no_span.message(), "invalid type: map, expected a sequence\nin `outer.index`\n");
  EXPECT_EQ(Error("missing field `url`").message(), "missing field `url`\n");
}

TEST(TomlDocument, SpansStatementsAndKeyPaths) {
  auto doc = parse("# head\nname = \"x\"  # c\n\n[a.b]\nlist = [1, { k = 'v' }]\n[[t]]\n# tail\n");
  ASSERT_TRUE(doc);
  const auto& st = doc->statements();
  ASSERT_EQ(st.size(), 4u);
  EXPECT_EQ(doc->source().substr(st[0].span.begin, st[0].span.size()), "# head\nname = \"x\"  # c\n");
  EXPECT_EQ(doc->source().substr(st[1].key.begin, st[1].key.size()), "[a.b]");
  EXPECT_EQ(st[3].kind, Statement::Kind::ArrayTable);
  EXPECT_EQ(doc->source().substr(doc->trailer().begin), "# tail\n");

  const NodeId name = doc->get(doc->root(), "name");
  EXPECT_EQ(doc->text(name), "\"x\"");
  EXPECT_EQ(doc->string_value(name), "x");
  const NodeId b = doc->get(doc->get(doc->root(), "a"), "b");
  EXPECT_EQ(doc->node(doc->get(doc->root(), "a")).has_span, false);  // implicit parent
  EXPECT_EQ(doc->text(b), "[a.b]");
  const NodeId list = doc->get(b, "list");
  EXPECT_EQ(doc->text(list), "[1, { k = 'v' }]");
  const NodeId k = doc->get(doc->items(list)[1], "k");
  EXPECT_EQ(doc->text(k), "'v'");
  EXPECT_EQ(doc->key_path(k), (std::vector<std::string>{"a", "b", "list", "k"}));
  const NodeId t0 = doc->items(doc->get(doc->root(), "t"))[0];
  EXPECT_EQ(doc->text(t0), "[[t]]");
}

TEST(TomlDocument, ReplacingAValueKeepsEveryOtherByte) {
  const std::string text = "# config\n[a]\nx = 1   # one\nlist = [ 1, 2 ,3 ]\n";
  auto doc = parse(text);
  ASSERT_TRUE(doc);
  const NodeId a = doc->get(doc->root(), "a");
  const NodeId list = doc->get(a, "list");
  doc->replace_value_text(doc->items(list)[1], "20");
  doc->replace_value_text(doc->get(a, "x"), "\"one\"");
  EXPECT_EQ(doc->to_string(), "# config\n[a]\nx = \"one\"   # one\nlist = [ 1, 20 ,3 ]\n");
  // Replacing the whole list supersedes the replacement inside it.
  doc->replace_value_text(list, "[]");
  EXPECT_EQ(doc->to_string(), "# config\n[a]\nx = \"one\"   # one\nlist = []\n");
  auto fresh = parse(text);
  fresh->replace_value_text(fresh->get(fresh->get(fresh->root(), "a"), "list"), "[0]");
  EXPECT_THROW(fresh->replace_value_text(fresh->items(fresh->get(fresh->get(fresh->root(), "a"), "list"))[0], "9"),
               InternalError);
  auto implicit = parse("[p.q]");
  EXPECT_THROW(implicit->replace_value_text(implicit->get(implicit->root(), "p"), "1"), InternalError);
}

// Parsing then printing an unedited document gives its bytes back, and the
// statements tile the text with no gap or overlap.
TEST(TomlDocument, RoundTripOverRealWorldFiles) {
  const std::filesystem::path dir = std::filesystem::path(KESTRO_TEST_DATA_DIR) / "toml";
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string text = read_bytes(entry.path());
    auto doc = parse(text);
    ASSERT_TRUE(doc) << entry.path() << "\n" << doc.error().message();
    EXPECT_EQ(doc->to_string(), text) << entry.path();
    size_t at = 0;
    for (const Statement& st : doc->statements()) {
      EXPECT_EQ(st.span.begin, at) << entry.path();
      EXPECT_LE(st.span.begin, st.key.begin);
      EXPECT_LE(st.key.end, st.span.end);
      at = st.span.end;
    }
    EXPECT_EQ(doc->trailer().begin, at);
    EXPECT_EQ(doc->trailer().end, text.size());
    ++files;
  }
  EXPECT_GE(files, 8u);
}

TEST(TomlWrite, StringForms) {
  struct Case {
    std::string_view text;
    std::string_view written;
  } cases[] = {
      {"plain", "\"plain\""},
      {"", "\"\""},
      {"a\tb", "\"a\\tb\""},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
      {"C:\\proj", "'C:\\proj'"},
      {"say \"hi\"", "'say \"hi\"'"},
      {"it's \"x\"", "\"\"\"it's \"x\"\"\"\""},
      {"line\nfeed", "\"\"\"\nline\nfeed\"\"\""},
      {"tab\tand\nlf", "\"\"\"\ntab\\tand\nlf\"\"\""},
      {"back\\slash\nand 'q'", "'''\nback\\slash\nand 'q''''"},
      {"\"\"\"'''\n\\", "\"\"\"\n\"\"\\\"'''\n\\\\\"\"\""},
      {"bell\x07", "\"bell\\u0007\""},
      {"del\x7f\x1b", "\"del\\u007F\\u001B\""},
      {"cr\r\nlf", "\"\"\"\ncr\\r\nlf\"\"\""},
      {"q\"\x01", "\"q\\\"\\u0001\""},
      {"\b\f", "\"\\b\\f\""},
  };
  for (const auto& c : cases) {
    const std::string written = write_string(c.text);
    EXPECT_EQ(written, c.written) << c.text;
    auto doc = parse("k = " + written);
    ASSERT_TRUE(doc) << written;
    EXPECT_EQ(doc->string_value(doc->get(doc->root(), "k")), c.text) << written;
  }
}

TEST(TomlWrite, KeysAndInlineValues) {
  EXPECT_EQ(write_key("src_path"), "src_path");
  EXPECT_EQ(write_key("a.b"), "\"a.b\"");
  EXPECT_EQ(write_key(""), "\"\"");
  EXPECT_EQ(write_key("say \"x\""), "'say \"x\"'");
  Value v = Value::table();
  v.set("editable", Value::string("../x"));
  EXPECT_EQ(write_inline(v), "{ editable = \"../x\" }");
  v.set("n", Value::array({Value::integer(-3), Value::floating(1.0), Value::boolean(false), Value::array(),
                           Value::table(), Value::datetime({"1979-05-27", DatetimeForm::LocalDate})}));
  v.set("editable", Value::string("y"));
  EXPECT_EQ(write_inline(v), "{ editable = \"y\", n = [-3, 1.0, false, [], {}, 1979-05-27] }");
  // Deep values are written without recursion.
  Value deep = Value::array();
  for (int i = 0; i < 100000; ++i) {
    Value::Array items;
    items.push_back(std::move(deep));
    deep = Value::array(std::move(items));
  }
  EXPECT_EQ(write_inline(deep).size(), 2u * 100001);
  // Tear down iteratively as well: unwrap one level at a time.
  while (deep.as_array() && !deep.as_array()->empty()) {
    Value inner = std::move(deep.as_array()->front());
    deep = std::move(inner);
  }
}

TEST(TomlRead, FoundValueWords) {
  auto doc = parse("s = \"yes\\n\"\ni = -5\nf = 1.5\ng = 1e20\nb = true\nd = 1979-05-27\nt = {}\na = []");
  ASSERT_TRUE(doc);
  auto word = [&](std::string_view key) { return describe(*doc, doc->get(doc->root(), key)); };
  EXPECT_EQ(word("s"), "string \"yes\\n\"");
  EXPECT_EQ(word("i"), "integer `-5`");
  EXPECT_EQ(word("f"), "floating point `1.5`");
  EXPECT_EQ(word("g"), "floating point `1e20`");
  EXPECT_EQ(word("b"), "boolean `true`");
  EXPECT_EQ(word("d"), "map");
  EXPECT_EQ(word("t"), "map");
  EXPECT_EQ(word("a"), "sequence");
}

}  // namespace
}  // namespace kestro::toml
