// The symbol lexer: cuts SysML v2 and KerML text into coarse tokens, each a
// kind and a byte range of the text. It knows no keywords, keeps white space
// and comments as tokens, lumps operators into runs of symbol characters and
// singles out only the symbols that statement grouping and name extraction
// look at. It allocates nothing and copies no text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <fmt/format.h>

#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::symbols {

// The kind of a token; the numbers are part of the contract.
enum class LexToken : std::uint8_t {
  Space = 0,
  UserKeywordStart = 1,
  BraceOpen = 2,
  BraceClose = 3,
  Semicolon = 4,
  Comma = 5,
  OtherIdentifier = 6,
  BlockComment = 7,
  LineComment = 8,
  String = 9,
  Quoted = 10,
  OpenParen = 11,
  CloseParen = 12,
  OpenSquare = 13,
  CloseSquare = 14,
  DoubleColon = 15,
  LT = 16,
  GT = 17,
  Equals = 18,
  Period = 19,
  OtherSymbol = 20,
};

// The kind's name exactly as written above ("OtherIdentifier", "LT").
std::string_view lex_token_name(LexToken kind);

// The cases of a token's failure.
struct LexErrorVariants {
  // A block comment, string or quoted name without its end; `opener` is
  // "/*" (also for the opener "//*"), "\"" or "'".
  struct Unterminated {
    std::string_view opener;
  };
  // A symbol character with no character after it that ends a symbol run.
  struct Unexpected {
    std::string_view message;
  };
  // No pattern matches (only for bytes that are no valid UTF-8).
  struct Unknown {};
  using Sum = std::variant<Unterminated, Unexpected, Unknown>;
};

// The failure of one token: "unterminated `{opener}`", "expected a block of
// symbols, found none" or "unknown parsing error"; the debug form is the
// case's name, then its text as a quoted string in parentheses.
class LexError : public ErrorSum<LexError, LexErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Unterminated& u);
  static std::string text_of(const Unexpected& u);
  static std::string text_of(const Unknown&);
  static std::string debug_of(const Unterminated& u);
  static std::string debug_of(const Unexpected& u);
  static std::string debug_of(const Unknown&);
  bool operator==(const LexError& other) const;
};

inline constexpr std::string_view kNoSymbolsMessage = "expected a block of symbols, found none";

// One step of the lexer: a token kind or the failure of the token.
using LexResult = std::expected<LexToken, LexError>;

// The lexer state over one text, borrowed from the caller for the lexer's
// lifetime. After each step the current token, or the part of a failed token
// that was matched, is text[token_start, token_end).
class SymbolLexer {
 public:
  explicit SymbolLexer(std::string_view text);

  // The next token, or nothing at the end of the text (and at every call
  // after that). After a failure the span is the matched part: the opener of
  // an unterminated comment, string or quoted name; the symbol character
  // that no stop character follows; the invalid byte.
  std::optional<LexResult> lex_token();

  std::size_t token_start() const { return token_start_; }
  std::size_t token_end() const { return token_end_; }
  std::string_view token_text() const { return text_.substr(token_start_, token_end_ - token_start_); }
  std::string_view text() const { return text_; }

 private:
  LexResult lex_string(char quote, LexToken kind, std::string_view opener);
  LexResult lex_block_comment(std::size_t opener_length);
  LexResult lex_line_comment();
  // After the one symbol character that ends at `token_end_`.
  LexResult lex_symbols(char32_t first);
  // A non-ASCII character at `token_end_`.
  LexResult lex_non_ascii();
  std::size_t skip_run(std::size_t i, std::uint8_t ascii_bit, bool (*member)(char32_t)) const;
  std::size_t skip_space(std::size_t i) const;
  std::size_t skip_identifier(std::size_t i) const;

  std::string_view text_;
  std::size_t token_start_ = 0;
  std::size_t token_end_ = 0;
  const std::uint8_t* ascii_;  // the class bits of each ASCII character
};

// Unicode White_Space, the white space of the lexer and of statement texts.
bool is_white_space(char32_t c);

}  // namespace kestro::symbols

template <>
struct fmt::formatter<kestro::symbols::LexToken> : fmt::formatter<std::string_view> {
  auto format(kestro::symbols::LexToken kind, fmt::format_context& ctx) const {
    return fmt::formatter<std::string_view>::format(kestro::symbols::lex_token_name(kind), ctx);
  }
};
