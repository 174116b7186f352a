// The symbol lexer over texts that show each token rule, its escapes and its
// failures. Every row lists the tokens as kind and text; the spans follow,
// because tokens are adjacent from offset 0 and their texts are checked
// against the spans.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "kestro/symbols/lex.hpp"

namespace kestro::symbols {
namespace {

using enum LexToken;

struct Expected {
  LexToken kind;
  std::string text;
};
struct Failure {
  std::string message;
  std::string span;
};
struct Row {
  std::string text;
  std::vector<Expected> tokens;
  std::optional<Failure> failure;
};

void check_row(const Row& row) {
  SCOPED_TRACE(::testing::Message() << "text: " << row.text);
  SymbolLexer lexer(row.text);
  std::size_t offset = 0;
  for (const Expected& want : row.tokens) {
    auto step = lexer.lex_token();
    ASSERT_TRUE(step.has_value()) << "stream ended before " << want.text;
    ASSERT_TRUE(step->has_value()) << "failed: " << step->error().message();
    EXPECT_EQ(lex_token_name(**step), lex_token_name(want.kind));
    EXPECT_EQ(lexer.token_start(), offset);
    EXPECT_EQ(lexer.token_text(), want.text);
    offset = lexer.token_end();
  }
  auto step = lexer.lex_token();
  if (row.failure) {
    ASSERT_TRUE(step.has_value());
    ASSERT_FALSE(step->has_value()) << "token " << lex_token_name(**step) << " instead of a failure";
    EXPECT_EQ(step->error().message(), row.failure->message);
    EXPECT_EQ(lexer.token_start(), offset);
    EXPECT_EQ(lexer.token_text(), row.failure->span);
    return;
  }
  EXPECT_FALSE(step.has_value()) << "more tokens after the expected ones, at " << lexer.token_start();
  EXPECT_EQ(offset, row.text.size());
  // The end of the stream is reported again and again.
  EXPECT_FALSE(lexer.lex_token().has_value());
}

const std::string kUnterminatedDouble = "unterminated `\"`";
const std::string kUnterminatedSingle = "unterminated `'`";
const std::string kUnterminatedComment = "unterminated `/*`";
const std::string kNoSymbols = "expected a block of symbols, found none";

TEST(SymbolLexer, TokensAndFailuresOfEachRule) {
  const std::vector<Row> rows = {
      {"", {}, {}},
      {"part def A { }\n",
       {{OtherIdentifier, "part"}, {Space, " "}, {OtherIdentifier, "def"}, {Space, " "}, {OtherIdentifier, "A"},
        {Space, " "}, {BraceOpen, "{"}, {Space, " "}, {BraceClose, "}"}, {Space, "\n"}},
       {}},
      {"a::b", {{OtherIdentifier, "a"}, {DoubleColon, "::"}, {OtherIdentifier, "b"}}, {}},
      {"+::x", {{OtherSymbol, "+::"}, {OtherIdentifier, "x"}}, {}},
      {"<V>;", {{LT, "<"}, {OtherIdentifier, "V"}, {GT, ">"}, {Semicolon, ";"}}, {}},
      {"<'x'>", {{LT, "<"}, {Quoted, "'x'"}}, Failure{kNoSymbols, ">"}},
      {"a::", {{OtherIdentifier, "a"}}, Failure{kNoSymbols, ":"}},
      {"x.", {{OtherIdentifier, "x"}}, Failure{kNoSymbols, "."}},
      {"x.;", {{OtherIdentifier, "x"}, {Period, "."}, {Semicolon, ";"}}, {}},
      {"+ ", {{OtherSymbol, "+"}, {Space, " "}}, {}},
      {"+", {}, Failure{kNoSymbols, "+"}},
      {"+)", {}, Failure{kNoSymbols, "+"}},
      {"/", {}, Failure{kNoSymbols, "/"}},
      {"1.5 ", {{OtherIdentifier, "1"}, {Period, "."}, {OtherIdentifier, "5"}, {Space, " "}}, {}},
      {"12ab ", {{OtherIdentifier, "12"}, {OtherIdentifier, "ab"}, {Space, " "}}, {}},
      // Escapes: only the byte before a quote is looked at.
      {"\"ab\\\"c\"", {{String, "\"ab\\\"c\""}}, {}},
      {"\"a\\\\\" x\"", {{String, "\"a\\\\\" x\""}}, {}},
      {"\"abc", {}, Failure{kUnterminatedDouble, "\""}},
      {"'abc", {}, Failure{kUnterminatedSingle, "'"}},
      {"\"\"''", {{String, "\"\""}, {Quoted, "''"}}, {}},
      {"'a b'", {{Quoted, "'a b'"}}, {}},
      {"\"line\none\"", {{String, "\"line\none\""}}, {}},
      {"/* a \\*/ b */x", {{BlockComment, "/* a \\*/ b */"}, {OtherIdentifier, "x"}}, {}},
      {"/* abc", {}, Failure{kUnterminatedComment, "/*"}},
      {"/*/", {}, Failure{kUnterminatedComment, "/*"}},
      {"/**/", {{BlockComment, "/**/"}}, {}},
      {"//**/", {{BlockComment, "//**/"}}, {}},
      {"/* a /* b */ c", {{BlockComment, "/* a /* b */"}, {Space, " "}, {OtherIdentifier, "c"}}, {}},
      {"//*a*/b", {{BlockComment, "//*a*/"}, {OtherIdentifier, "b"}}, {}},
      {"//*", {}, Failure{kUnterminatedComment, "//*"}},
      {"//", {{LineComment, "//"}}, {}},
      {"//c\r\nx", {{LineComment, "//c\r\n"}, {OtherIdentifier, "x"}}, {}},
      {"// a /* b */", {{LineComment, "// a /* b */"}}, {}},
      {"\u00e9t\u00e9 x", {{OtherIdentifier, "\u00e9t\u00e9"}, {Space, " "}, {OtherIdentifier, "x"}}, {}},
      {"a\u00b7b", {{OtherIdentifier, "a\u00b7b"}}, {}},
      {"\u00a0", {{Space, "\u00a0"}}, {}},
      {"\u2192x", {{OtherSymbol, "\u2192"}, {OtherIdentifier, "x"}}, {}},
      {"\u0660 ", {{OtherSymbol, "\u0660"}, {Space, " "}}, {}},
      {"+\u00b2 ", {{OtherSymbol, "+"}, {OtherSymbol, "\u00b2"}, {Space, " "}}, {}},
      {"+\u0300 ", {{OtherSymbol, "+\u0300"}, {Space, " "}}, {}},
      {"#x", {{UserKeywordStart, "#"}, {OtherIdentifier, "x"}}, {}},
      {"*/ x", {{OtherSymbol, "*/"}, {Space, " "}, {OtherIdentifier, "x"}}, {}},
      // Symbol runs and the symbols singled out of them.
      {":> a", {{OtherSymbol, ":>"}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {":>> a", {{OtherSymbol, ":>>"}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {":= a", {{OtherSymbol, ":="}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {"::> a", {{DoubleColon, "::"}, {GT, ">"}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {"<= a", {{LT, "<"}, {Equals, "="}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {"=> a", {{Equals, "="}, {GT, ">"}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {"-> a", {{OtherSymbol, "->"}, {Space, " "}, {OtherIdentifier, "a"}}, {}},
      {"a..b", {{OtherIdentifier, "a"}, {Period, "."}, {Period, "."}, {OtherIdentifier, "b"}}, {}},
      {"x+(y)", {{OtherIdentifier, "x"}, {OtherSymbol, "+("}, {OtherIdentifier, "y"}, {CloseParen, ")"}}, {}},
      {"a+_b", {{OtherIdentifier, "a"}, {OtherSymbol, "+_"}, {OtherIdentifier, "b"}}, {}},
      {"x+//c", {{OtherIdentifier, "x"}, {OtherSymbol, "+"}, {LineComment, "//c"}}, {}},
      {"x+/*c*/", {{OtherIdentifier, "x"}, {OtherSymbol, "+"}, {BlockComment, "/*c*/"}}, {}},
      {"_a", {{OtherIdentifier, "_a"}}, {}},
      {"(a, [b]);", {{OpenParen, "("}, {OtherIdentifier, "a"}, {Comma, ","}, {Space, " "}, {OpenSquare, "["},
                     {OtherIdentifier, "b"}, {CloseSquare, "]"}, {CloseParen, ")"}, {Semicolon, ";"}}, {}},
      // U+001C to U+001F are no white space: symbol characters.
      {"\x1c ", {{OtherSymbol, "\x1c"}, {Space, " "}}, {}},
      {"\t\v\f\r\n\u0085\u3000x", {{Space, "\t\v\f\r\n\u0085\u3000"}, {OtherIdentifier, "x"}}, {}},
      // A byte that is no UTF-8 begins no pattern and ends a symbol run.
      {"+\xff", {{OtherSymbol, "+"}}, Failure{"unknown parsing error", "\xff"}},
      {"ab\xc3", {{OtherIdentifier, "ab"}}, Failure{"unknown parsing error", "\xc3"}},
  };
  for (const Row& row : rows) check_row(row);
}

TEST(SymbolLexer, ErrorDebugFormNamesTheCase) {
  EXPECT_EQ(LexError(LexError::Unterminated{"\""}).debug(), "Unterminated(\"\\\"\")");
  EXPECT_EQ(LexError(LexError::Unexpected{kNoSymbolsMessage}).debug(),
            "Unexpected(\"expected a block of symbols, found none\")");
  EXPECT_EQ(LexError(LexError::Unknown{}).debug(), "Unknown");
}

TEST(SymbolLexer, KindNamesInTheirOrder) {
  const std::vector<std::string> names = {
      "Space",       "UserKeywordStart", "BraceOpen", "BraceClose", "Semicolon", "Comma",  "OtherIdentifier",
      "BlockComment", "LineComment",     "String",    "Quoted",     "OpenParen", "CloseParen", "OpenSquare",
      "CloseSquare", "DoubleColon",      "LT",        "GT",         "Equals",    "Period", "OtherSymbol"};
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(fmt::format("{}", static_cast<LexToken>(i)), names[i]);
}

}  // namespace
}  // namespace kestro::symbols
