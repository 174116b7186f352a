// Statement grouping over the symbol lexer.
#include "kestro/symbols/statements.hpp"

#include <algorithm>
#include <limits>

#include "kestro/utils/text.hpp"

namespace kestro::symbols {

namespace {

bool is_char_boundary(std::string_view text, std::size_t i) {
  return i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
}

// Numbers past the 32-bit range (texts of gigabytes) stay at its top.
std::uint32_t clamp_u32(std::size_t n) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(n, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

std::string ExtractError::text_of(const Syntax& s) {
  return fmt::format("syntax error at line {}, byte {}:\n{}", s.line, s.byte, s.error.message());
}
std::string ExtractError::text_of(const MissingBodyDelimiter& m) {
  return fmt::format("missing body delimiter:\nbrace `{{}}` nesting depth is {} (should be 0) at the end of file",
                     m.depth);
}
std::string ExtractError::text_of(const TokenRange&) { return "unable to get token range"; }
std::string ExtractError::text_of(const Parse& p) {
  return fmt::format("error at line {}, byte {}:\n`{}`: {}", p.line, p.byte, p.statement, p.message);
}
std::string ExtractError::debug_of(const Syntax& s) {
  return fmt::format("Syntax({}, {}, {})", s.line, s.byte, s.error.debug());
}
std::string ExtractError::debug_of(const MissingBodyDelimiter& m) { return fmt::format("MissingBodyDelimiter({})", m.depth); }
std::string ExtractError::debug_of(const TokenRange&) { return "TokenRange"; }
std::string ExtractError::debug_of(const Parse& p) {
  return fmt::format("Parse({}, {}, {}, {})", p.line, p.byte, debug_quote(p.statement), debug_quote(p.message));
}

std::pair<std::uint32_t, std::uint32_t> line_and_byte(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, offset);
  const auto feeds = static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t last = before.rfind('\n');
  const std::size_t line_start = last == std::string_view::npos ? 0 : last + 1;
  return {clamp_u32(1 + feeds), clamp_u32(1 + before.size() - line_start)};
}

// Tokens inside a body are never kept: a statement that is not at depth 0
// when it ends is discarded whatever it holds, and every brace starts a new
// statement, so only tokens read at depth 0 can reach the result.
std::expected<std::vector<Statement>, ExtractError> group_statements(std::string_view text) {
  std::vector<Statement> result;
  Statement current;
  std::int64_t depth = 0;
  SymbolLexer lexer(text);
  const auto end_statement = [&] {
    if (depth == 0) result.push_back(std::move(current));
    current.clear();
  };
  while (auto step = lexer.lex_token()) {
    const std::size_t start = lexer.token_start();
    const std::size_t end = lexer.token_end();
    if (start > end || end > text.size() || !is_char_boundary(text, start) || !is_char_boundary(text, end))
      return std::unexpected(ExtractError(ExtractError::TokenRange{}));
    if (!step->has_value()) {
      const auto [line, byte] = line_and_byte(text, start);
      return std::unexpected(ExtractError(ExtractError::Syntax{line, byte, step->error()}));
    }
    const LexToken kind = **step;
    switch (kind) {
      case LexToken::BraceOpen:
        end_statement();
        ++depth;
        break;
      case LexToken::BraceClose:
        if (!current.empty()) end_statement();
        --depth;
        break;
      case LexToken::Semicolon: end_statement(); break;
      case LexToken::BlockComment:
      case LexToken::LineComment:
        if (depth == 0) current.push_back(Token{text.substr(start, end - start), kind, start, end});
        end_statement();
        break;
      default:
        if (depth == 0) current.push_back(Token{text.substr(start, end - start), kind, start, end});
        break;
    }
  }
  if (depth != 0) {
    const auto clamped = std::clamp<std::int64_t>(depth, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
    return std::unexpected(ExtractError(ExtractError::MissingBodyDelimiter{static_cast<std::int32_t>(clamped)}));
  }
  result.push_back(std::move(current));
  return result;
}

}  // namespace kestro::symbols
