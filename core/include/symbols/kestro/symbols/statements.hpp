// Statement grouping: the top-level statements of one SysML v2 or KerML
// text, at brace depth 0, and the one failure type of name extraction.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/symbols/lex.hpp"

namespace kestro::symbols {

// One lexed token kept for extraction; `text` refers into the grouped text.
struct Token {
  std::string_view text;
  LexToken kind;
  std::size_t start;
  std::size_t end;
  bool operator==(const Token&) const = default;
};

// Consecutive tokens of one statement, adjacent in the text. Never holds a
// brace or semicolon; a comment can only be its last token.
using Statement = std::vector<Token>;

// The cases of a failed exported-name extraction.
struct ExtractErrorVariants {
  // The lexer failed at line `line`, byte `byte` (both from 1).
  struct Syntax {
    std::uint32_t line;
    std::uint32_t byte;
    LexError error;
  };
  // The braces do not balance at the end of the text.
  struct MissingBodyDelimiter {
    std::int32_t depth;
  };
  // The lexer reported a span that is no slice of the text.
  struct TokenRange {};
  // A statement could not be walked; `statement` is its trimmed text.
  struct Parse {
    std::uint32_t line;
    std::uint32_t byte;
    std::string statement;
    std::string message;
  };
  using Sum = std::variant<Syntax, MissingBodyDelimiter, TokenRange, Parse>;
};

// The failure of exported-name extraction: "syntax error at line {}, byte
// {}:\n{}", "missing body delimiter:\nbrace `{}` nesting depth is {} (should
// be 0) at the end of file" (the first braces literal), "unable to get token
// range" or "error at line {}, byte {}:\n`{}`: {}"; the debug form is the
// case's name and its data in parentheses.
class ExtractError : public ErrorSum<ExtractError, ExtractErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Syntax& s);
  static std::string text_of(const MissingBodyDelimiter& m);
  static std::string text_of(const TokenRange&);
  static std::string text_of(const Parse& p);
  static std::string debug_of(const Syntax& s);
  static std::string debug_of(const MissingBodyDelimiter& m);
  static std::string debug_of(const TokenRange&);
  static std::string debug_of(const Parse& p);
};

// Line (1 + the line feeds before `offset`) and byte (1 + the bytes since the
// last of them) of a byte offset; a carriage return is an ordinary byte.
std::pair<std::uint32_t, std::uint32_t> line_and_byte(std::string_view text, std::size_t offset);

// The statements at brace depth 0, in source order, delimited by `;`, `{`,
// `}` and comments (a comment ends the statement it belongs to). The text
// must outlive the result. Fails at the first lexer error, or when the
// braces do not balance at the end.
std::expected<std::vector<Statement>, ExtractError> group_statements(std::string_view text);

}  // namespace kestro::symbols
