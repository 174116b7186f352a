// Statement grouping: the statements at brace depth 0 with the texts of their
// tokens, brace failures with their depth, lexer failures with their line and
// byte over LF and CR LF line ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestro/symbols/statements.hpp"

namespace kestro::symbols {
namespace {

std::vector<std::vector<std::string>> token_texts(const std::vector<Statement>& statements) {
  std::vector<std::vector<std::string>> out;
  for (const Statement& s : statements) {
    out.emplace_back();
    for (const Token& t : s) out.back().emplace_back(t.text);
  }
  return out;
}

TEST(GroupStatements, StatementsAtDepthZero) {
  struct Row {
    std::string text;
    std::vector<std::vector<std::string>> statements;
  };
  const std::vector<Row> rows = {
      {"", {{}}},
      {"package P;", {{"package", " ", "P"}, {}}},
      {"package P { part def A; }", {{"package", " ", "P", " "}, {}}},
      {"/* c */ part x;", {{"/* c */"}, {" ", "part", " ", "x"}, {}}},
      {"a } b { c", {{"a", " "}, {" ", "c"}}},
      {";;", {{}, {}, {}}},
      {"a // c\nb;", {{"a", " ", "// c\n"}, {"b"}, {}}},
      {"a { b { c; } d; } e", {{"a", " "}, {" ", "e"}}},
      {"{ } x", {{}, {" ", "x"}}},
      {"package P;\r\npart x;\r\n", {{"package", " ", "P"}, {"\r\n", "part", " ", "x"}, {"\r\n"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    auto statements = group_statements(row.text);
    ASSERT_TRUE(statements.has_value()) << statements.error().message();
    EXPECT_EQ(token_texts(*statements), row.statements);
    for (const Statement& s : *statements)
      for (const Token& t : s) EXPECT_EQ(row.text.substr(t.start, t.end - t.start), t.text);
  }
}

TEST(GroupStatements, CommentsCloseTheirStatementAndKeepTheirKind) {
  auto statements = group_statements("doc /* a */ x");
  ASSERT_TRUE(statements.has_value());
  ASSERT_EQ(statements->size(), 2u);
  EXPECT_EQ((*statements)[0].back().kind, LexToken::BlockComment);
  EXPECT_EQ((*statements)[1].back().kind, LexToken::OtherIdentifier);
}

TEST(GroupStatements, FailuresWithTheirPositionsAndDepths) {
  struct Row {
    std::string text;
    std::string message;
    std::string debug;
  };
  const std::vector<Row> rows = {
      {"a {", "missing body delimiter:\nbrace `{}` nesting depth is 1 (should be 0) at the end of file",
       "MissingBodyDelimiter(1)"},
      {"}", "missing body delimiter:\nbrace `{}` nesting depth is -1 (should be 0) at the end of file",
       "MissingBodyDelimiter(-1)"},
      {"a { { } } } {{", "missing body delimiter:\nbrace `{}` nesting depth is 1 (should be 0) at the end of file",
       "MissingBodyDelimiter(1)"},
      {"\"x", "syntax error at line 1, byte 1:\nunterminated `\"`", "Syntax(1, 1, Unterminated(\"\\\"\"))"},
      {"a;\nb;\ncd  \"x", "syntax error at line 3, byte 5:\nunterminated `\"`", "Syntax(3, 5, Unterminated(\"\\\"\"))"},
      {"a;\r\nb;\r\ncd  \"x", "syntax error at line 3, byte 5:\nunterminated `\"`",
       "Syntax(3, 5, Unterminated(\"\\\"\"))"},
      // A carriage return alone starts no line; it is a byte of the line.
      {"a\rb +", "syntax error at line 1, byte 5:\nexpected a block of symbols, found none",
       "Syntax(1, 5, Unexpected(\"expected a block of symbols, found none\"))"},
      // Bytes, not characters: é is two bytes.
      {"\u00e9 /*", "syntax error at line 1, byte 4:\nunterminated `/*`", "Syntax(1, 4, Unterminated(\"/*\"))"},
      // Inside a body the lexer still runs, and its failure counts.
      {"a { 'x }", "syntax error at line 1, byte 5:\nunterminated `'`", "Syntax(1, 5, Unterminated(\"'\"))"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    auto statements = group_statements(row.text);
    ASSERT_FALSE(statements.has_value());
    EXPECT_EQ(statements.error().message(), row.message);
    EXPECT_EQ(statements.error().debug(), row.debug);
  }
}

TEST(GroupStatements, LineAndByteCountLineFeedsOnly) {
  struct Row {
    std::string text;
    std::size_t offset;
    std::uint32_t line;
    std::uint32_t byte;
  };
  const std::vector<Row> rows = {
      {"", 0, 1, 1},          {"abc", 2, 1, 3},     {"a\nb", 2, 2, 1},     {"a\nb", 1, 1, 2},
      {"a\r\nb", 2, 1, 3},    {"a\r\nb", 3, 2, 1},  {"\n\n\nxy", 4, 4, 2}, {"ab\r\n\r\ncd", 7, 3, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const auto [line, byte] = line_and_byte(row.text, row.offset);
    EXPECT_EQ(line, row.line);
    EXPECT_EQ(byte, row.byte);
  }
}

TEST(ExtractError, OtherCasesDisplayAndDebug) {
  const ExtractError range(ExtractError::TokenRange{});
  EXPECT_EQ(range.message(), "unable to get token range");
  EXPECT_EQ(range.debug(), "TokenRange");
  const ExtractError parse(ExtractError::Parse{2, 3, "part x :", "empty name"});
  EXPECT_EQ(parse.message(), "error at line 2, byte 3:\n`part x :`: empty name");
  EXPECT_EQ(parse.debug(), "Parse(2, 3, \"part x :\", \"empty name\")");
}

}  // namespace
}  // namespace kestro::symbols
