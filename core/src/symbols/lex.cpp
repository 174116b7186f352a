// The symbol lexer. Token selection looks at bytes; only white space,
// identifier and symbol runs decode characters, and only outside ASCII. The
// character classes are ICU's; the ASCII ones are read from ICU once into a
// table so that the common case costs one lookup per byte. The classes are
// those of the Unicode version of the ICU at hand (15.0 with ICU 72): only
// characters of scripts added later differ.
#include "kestro/symbols/lex.hpp"

#include <array>
#include <cstring>

#include <unicode/uchar.h>

#include "kestro/utils/text.hpp"

namespace kestro::symbols {

namespace {

constexpr std::uint8_t kSpace = 1;     // White_Space
constexpr std::uint8_t kIdStart = 2;   // XID_Start and the low line
constexpr std::uint8_t kIdCont = 4;    // XID_Continue
constexpr std::uint8_t kStop = 8;      // ends a symbol run

bool is_id_start(char32_t c) { return c == U'_' || u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_XID_START); }
bool is_id_continue(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_XID_CONTINUE); }

// Alphanumeric (Alphabetic, or a number of category Nd, Nl or No), white
// space, or one of the eight ASCII delimiters.
bool is_symbol_stop(char32_t c) {
  if (c < 0x80 && std::string_view("\"',;[]{}").find(static_cast<char>(c)) != std::string_view::npos) return true;
  const auto cp = static_cast<UChar32>(c);
  if (u_hasBinaryProperty(cp, UCHAR_ALPHABETIC) || u_hasBinaryProperty(cp, UCHAR_WHITE_SPACE)) return true;
  const auto category = u_charType(cp);
  return category == U_DECIMAL_DIGIT_NUMBER || category == U_LETTER_NUMBER || category == U_OTHER_NUMBER;
}

const std::uint8_t* ascii_classes() {
  static const std::array<std::uint8_t, 128> table = [] {
    std::array<std::uint8_t, 128> t{};
    for (char32_t c = 0; c < 128; ++c) {
      t[c] = static_cast<std::uint8_t>((is_white_space(c) ? kSpace : 0) | (is_id_start(c) ? kIdStart : 0) |
                                       (is_id_continue(c) ? kIdCont : 0) | (is_symbol_stop(c) ? kStop : 0));
    }
    return t;
  }();
  return table.data();
}

bool is_ascii_byte(char b) { return static_cast<unsigned char>(b) < 0x80; }

}  // namespace

bool is_white_space(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE); }

std::string_view lex_token_name(LexToken kind) {
  static constexpr std::array<std::string_view, 21> names = {
      "Space",      "UserKeywordStart", "BraceOpen",  "BraceClose", "Semicolon",   "Comma",       "OtherIdentifier",
      "BlockComment", "LineComment",    "String",     "Quoted",     "OpenParen",   "CloseParen",  "OpenSquare",
      "CloseSquare", "DoubleColon",     "LT",         "GT",         "Equals",      "Period",      "OtherSymbol"};
  return names[static_cast<std::size_t>(kind)];
}

std::string LexError::text_of(const Unterminated& u) { return fmt::format("unterminated `{}`", u.opener); }
std::string LexError::text_of(const Unexpected& u) { return std::string(u.message); }
std::string LexError::text_of(const Unknown&) { return "unknown parsing error"; }
std::string LexError::debug_of(const Unterminated& u) { return fmt::format("Unterminated({})", debug_quote(u.opener)); }
std::string LexError::debug_of(const Unexpected& u) { return fmt::format("Unexpected({})", debug_quote(u.message)); }
std::string LexError::debug_of(const Unknown&) { return "Unknown"; }

bool LexError::operator==(const LexError& other) const {
  return payload().index() == other.payload().index() && message() == other.message();
}

SymbolLexer::SymbolLexer(std::string_view text) : text_(text), ascii_(ascii_classes()) {}

// The end of the run of characters of one class from `i`: ASCII by the
// table bit, the rest by `member`.
std::size_t SymbolLexer::skip_run(std::size_t i, std::uint8_t ascii_bit, bool (*member)(char32_t)) const {
  while (i < text_.size()) {
    if (is_ascii_byte(text_[i])) {
      if (!(ascii_[static_cast<unsigned char>(text_[i])] & ascii_bit)) break;
      ++i;
      continue;
    }
    char32_t c = 0;
    const std::size_t len = decode_utf8(text_, i, &c);
    if (len == 0 || !member(c)) break;
    i += len;
  }
  return i;
}

std::size_t SymbolLexer::skip_space(std::size_t i) const { return skip_run(i, kSpace, is_white_space); }
std::size_t SymbolLexer::skip_identifier(std::size_t i) const { return skip_run(i, kIdCont, is_id_continue); }

std::optional<LexResult> SymbolLexer::lex_token() {
  token_start_ = token_end_;
  const std::size_t i = token_start_;
  if (i >= text_.size()) return std::nullopt;
  const char b = text_[i];
  if (!is_ascii_byte(b)) return lex_non_ascii();
  token_end_ = i + 1;
  switch (b) {
    case '#': return LexToken::UserKeywordStart;
    case '{': return LexToken::BraceOpen;
    case '}': return LexToken::BraceClose;
    case ';': return LexToken::Semicolon;
    case ',': return LexToken::Comma;
    case '(': return LexToken::OpenParen;
    case ')': return LexToken::CloseParen;
    case '[': return LexToken::OpenSquare;
    case ']': return LexToken::CloseSquare;
    case '"': return lex_string('"', LexToken::String, "\"");
    case '\'': return lex_string('\'', LexToken::Quoted, "'");
    case '/': {
      const std::string_view rest = text_.substr(i + 1);
      if (rest.starts_with('*')) return lex_block_comment(2);
      if (rest.starts_with("/*")) return lex_block_comment(3);
      if (rest.starts_with('/')) return lex_line_comment();
      return lex_symbols(U'/');
    }
    default: break;
  }
  const std::uint8_t cls = ascii_[static_cast<unsigned char>(b)];
  if (cls & kSpace) {
    token_end_ = skip_space(token_end_);
    return LexToken::Space;
  }
  if (b >= '0' && b <= '9') {
    std::size_t j = token_end_;
    while (j < text_.size() && text_[j] >= '0' && text_[j] <= '9') ++j;
    token_end_ = j;
    return LexToken::OtherIdentifier;
  }
  if (cls & kIdStart) {
    token_end_ = skip_identifier(token_end_);
    return LexToken::OtherIdentifier;
  }
  return lex_symbols(static_cast<char32_t>(b));
}

LexResult SymbolLexer::lex_non_ascii() {
  char32_t c = 0;
  const std::size_t len = decode_utf8(text_, token_start_, &c);
  if (len == 0) {
    token_end_ = token_start_ + 1;
    return std::unexpected(LexError(LexError::Unknown{}));
  }
  token_end_ = token_start_ + len;
  if (is_white_space(c)) {
    token_end_ = skip_space(token_end_);
    return LexToken::Space;
  }
  if (is_id_start(c)) {
    token_end_ = skip_identifier(token_end_);
    return LexToken::OtherIdentifier;
  }
  return lex_symbols(c);
}

// A quote preceded by a backslash byte does not end the token, whatever
// precedes that backslash; nothing is unescaped.
LexResult SymbolLexer::lex_string(char quote, LexToken kind, std::string_view opener) {
  const std::size_t rest = token_start_ + 1;
  std::size_t from = rest;
  while (from < text_.size()) {
    const void* hit = std::memchr(text_.data() + from, quote, text_.size() - from);
    if (hit == nullptr) break;
    const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
    if (pos == rest || text_[pos - 1] != '\\') {
      token_end_ = pos + 1;
      return kind;
    }
    from = pos + 1;
  }
  token_end_ = rest;
  return std::unexpected(LexError(LexError::Unterminated{opener}));
}

// The first `*/` after the opener that no backslash precedes ends the
// comment; comments do not nest.
LexResult SymbolLexer::lex_block_comment(std::size_t opener_length) {
  const std::size_t rest = token_start_ + opener_length;
  std::size_t from = rest;
  while (from < text_.size()) {
    const std::size_t pos = text_.find("*/", from);
    if (pos == std::string_view::npos) break;
    if (pos == rest || text_[pos - 1] != '\\') {
      token_end_ = pos + 2;
      return LexToken::BlockComment;
    }
    from = pos + 1;
  }
  token_end_ = rest;
  return std::unexpected(LexError(LexError::Unterminated{"/*"}));
}

LexResult SymbolLexer::lex_line_comment() {
  const std::size_t from = token_start_ + 2;
  const void* hit = std::memchr(text_.data() + from, '\n', text_.size() - from);
  token_end_ = hit == nullptr ? text_.size() : static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data()) + 1;
  return LexToken::LineComment;
}

// A run of symbol characters up to the first stop character, or up to a
// comment opener before it. A byte that is no valid UTF-8 counts as a stop
// character, so that no token but a string or comment holds one.
LexResult SymbolLexer::lex_symbols(char32_t first) {
  const std::size_t rest = token_end_;
  std::size_t j = rest;
  bool found = false;
  while (j < text_.size()) {
    if (is_ascii_byte(text_[j])) {
      if (ascii_[static_cast<unsigned char>(text_[j])] & kStop) {
        found = true;
        break;
      }
      ++j;
      continue;
    }
    char32_t c = 0;
    const std::size_t len = decode_utf8(text_, j, &c);
    if (len == 0 || is_symbol_stop(c)) {
      found = true;
      break;
    }
    j += len;
  }
  if (!found) return std::unexpected(LexError(LexError::Unexpected{kNoSymbolsMessage}));
  std::string_view run = text_.substr(rest, j - rest);
  if (const auto p = run.find("//"); p != std::string_view::npos) run = run.substr(0, p);
  if (const auto p = run.find("/*"); p != std::string_view::npos) run = run.substr(0, p);
  switch (first) {
    case U'.': return LexToken::Period;
    case U'<': return LexToken::LT;
    case U'>': return LexToken::GT;
    case U'=': return LexToken::Equals;
    case U':':
      if (text_.substr(rest).starts_with(':')) {
        token_end_ = rest + 1;
        return LexToken::DoubleColon;
      }
      break;
    default: break;
  }
  token_end_ = rest + run.size();
  return LexToken::OtherSymbol;
}

}  // namespace kestro::symbols
