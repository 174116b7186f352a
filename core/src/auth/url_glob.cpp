#include "kestro/auth/url_glob.hpp"

#include <fmt/format.h>

#include <optional>

namespace kestro::auth {

struct Glob::Token {
  enum class Kind {
    Literal,
    AnyChar,              // ?
    ZeroOrMore,           // *
    RecursivePrefix,      // **/ at the start: nothing, "/", or anything ending in "/"
    RecursiveSuffix,      // /** at the end: "/" and anything after it
    RecursiveZeroOrMore,  // /**/ inside: "/", or "/" anything "/"
    Class,
    Alternates,
  };
  Kind kind = Kind::Literal;
  char32_t ch = 0;
  bool negated = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;
  std::vector<std::vector<Token>> alternates;
  // For each alternative, where its positions start in the matcher's table
  // of failed attempts.
  std::vector<std::size_t> alternate_slots;
};

namespace {

using Token = Glob::Token;
using Kind = Token::Kind;

Token tok(Kind kind, char32_t ch = 0) {
  Token t;
  t.kind = kind;
  t.ch = ch;
  return t;
}

// The code point at `pos` and its length in bytes. A byte that starts no
// valid sequence stands for itself, outside the range of code points.
std::pair<char32_t, std::size_t> decode(std::string_view s, std::size_t pos) {
  auto b = static_cast<unsigned char>(s[pos]);
  auto invalid = std::pair<char32_t, std::size_t>{0x110000u + b, 1};
  if (b < 0x80) return {b, 1};
  std::size_t len = b >= 0xF8 ? 0 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
  if (len == 0 || pos + len > s.size()) return invalid;
  char32_t c = b & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    auto cb = static_cast<unsigned char>(s[pos + i]);
    if ((cb & 0xC0) != 0x80) return invalid;
    c = (c << 6) | (cb & 0x3F);
  }
  // An overlong form (C1 95 for `U`), a surrogate or a value past U+10FFFF
  // is no character: it must not stand for one.
  static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kShortest[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return invalid;
  return {c, len};
}

class Parser {
 public:
  explicit Parser(std::string_view glob) : glob_(glob) {}

  std::expected<std::vector<Token>, GlobError> parse() {
    while (pos_ < glob_.size()) {
      auto [c, len] = decode(glob_, pos_);
      pos_ += len;
      std::optional<GlobError> failure;
      switch (c) {
        case '?': push(tok(Kind::AnyChar)); break;
        case '*': parse_star(); break;
        case '[': failure = parse_class(); break;
        case '{':
          if (alternation_) failure = GlobError::NestedAlternates{std::string(glob_)};
          else alternation_.emplace(1);
          break;
        case '}':
          if (!alternation_) failure = GlobError::UnopenedAlternates{std::string(glob_)};
          else close_alternation();
          break;
        case ',':
          if (alternation_) alternation_->emplace_back();
          else push(tok(Kind::Literal, ','));
          break;
        case '\\':
          if (pos_ >= glob_.size()) {
            failure = GlobError::DanglingEscape{std::string(glob_)};
          } else {
            auto [e, elen] = decode(glob_, pos_);
            pos_ += elen;
            push(tok(Kind::Literal, e));
          }
          break;
        default: push(tok(Kind::Literal, c)); break;
      }
      if (failure) return std::unexpected(std::move(*failure));
      prev_ = c;
    }
    if (alternation_) return std::unexpected(GlobError::UnclosedAlternates{std::string(glob_)});
    return std::move(tokens_);
  }

 private:
  std::vector<Token>& current() { return alternation_ ? alternation_->back() : tokens_; }
  void push(Token t) { current().push_back(std::move(t)); }
  std::optional<char32_t> peek() const {
    if (pos_ >= glob_.size()) return std::nullopt;
    return decode(glob_, pos_).first;
  }
  void two_stars() {
    push(tok(Kind::ZeroOrMore));
    push(tok(Kind::ZeroOrMore));
  }

  void parse_star() {
    if (peek() != U'*') {
      push(tok(Kind::ZeroOrMore));
      return;
    }
    ++pos_;
    auto next = peek();
    if (current().empty()) {
      if (next && *next != '/') return two_stars();
      push(tok(Kind::RecursivePrefix));
      if (next) ++pos_;
      return;
    }
    if (prev_ != '/' && (!alternation_ || (prev_ != ',' && prev_ != '{'))) return two_stars();
    bool suffix;
    if (!next || (alternation_ && (*next == ',' || *next == '}'))) {
      suffix = true;
    } else if (*next == '/') {
      ++pos_;
      suffix = false;
    } else {
      return two_stars();
    }
    Token last = std::move(current().back());
    current().pop_back();
    if (last.kind == Kind::RecursivePrefix || last.kind == Kind::RecursiveSuffix)
      push(std::move(last));
    else
      push(tok(suffix ? Kind::RecursiveSuffix : Kind::RecursiveZeroOrMore));
  }

  std::optional<GlobError> parse_class() {
    Token t = tok(Kind::Class);
    if (auto n = peek(); n == U'!' || n == U'^') {
      t.negated = true;
      ++pos_;
    }
    bool first = true, in_range = false;
    for (;;) {
      if (pos_ >= glob_.size()) return GlobError::UnclosedClass{std::string(glob_)};
      auto [c, len] = decode(glob_, pos_);
      pos_ += len;
      if (c == ']' && !first) break;
      if (c == '-' && !first && !in_range) {
        in_range = true;
      } else if (in_range) {
        t.ranges.back().second = c;
        if (c < t.ranges.back().first) return GlobError::InvalidRange{std::string(glob_)};
        in_range = false;
      } else {
        t.ranges.push_back({c, c});
      }
      first = false;
    }
    if (in_range) t.ranges.push_back({'-', '-'});
    push(std::move(t));
    return std::nullopt;
  }

  void close_alternation() {
    Token t = tok(Kind::Alternates);
    for (auto& alt : *alternation_)
      if (!alt.empty()) t.alternates.push_back(std::move(alt));
    alternation_.reset();
    if (t.alternates.empty()) return;  // matches the empty text
    push(std::move(t));
  }

  std::string_view glob_;
  std::size_t pos_ = 0;
  char32_t prev_ = 0;
  std::vector<Token> tokens_;
  std::optional<std::vector<std::vector<Token>>> alternation_;
};

// The rest of an enclosing sequence, to go on with after an alternative.
// Alternatives do not nest, so an alternative always goes on with the one
// place of the whole pattern after its group.
struct Continuation {
  const std::vector<Token>* seq;
  std::size_t index;
  std::size_t slot_base;
};

// One match of a pattern against a text. Whether the rest of the pattern
// from (sequence, token) matches the text from a position depends on nothing
// else, so each failed attempt is noted and never tried again: the work is
// bounded by tokens times positions, whatever the stars.
class Matcher {
 public:
  Matcher(std::string_view text, std::size_t slots) : text_(text), failed_(slots * (text.size() + 1), false) {}

  bool at(const std::vector<Token>& seq, std::size_t base, std::size_t ti, std::size_t si, const Continuation* k) {
    std::size_t key = (base + ti) * (text_.size() + 1) + si;
    if (failed_[key]) return false;
    bool ok = step(seq, base, ti, si, k);
    if (!ok) failed_[key] = true;
    return ok;
  }

 private:
  bool rest(const std::vector<Token>& seq, std::size_t base, std::size_t ti, std::size_t si, const Continuation* k) {
    return at(seq, base, ti + 1, si, k);
  }

  bool step(const std::vector<Token>& seq, std::size_t base, std::size_t ti, std::size_t si, const Continuation* k) {
    std::string_view text = text_;
    if (ti == seq.size()) return k ? at(*k->seq, k->slot_base, k->index, si, nullptr) : si == text.size();
    const Token& t = seq[ti];
    switch (t.kind) {
      case Kind::Literal:
      case Kind::AnyChar:
      case Kind::Class: {
        if (si >= text.size()) return false;
        auto [c, len] = decode(text, si);
        bool ok;
        if (t.kind == Kind::Literal) {
          ok = c == t.ch;
        } else {
          bool in = t.kind == Kind::AnyChar;
          for (const auto& [lo, hi] : t.ranges) in = in || (lo <= c && c <= hi);
          ok = c != '/' && in != t.negated;
        }
        return ok && rest(seq, base, ti, si + len, k);
      }
      case Kind::ZeroOrMore:
        for (std::size_t j = si;; j += decode(text, j).second) {
          if (rest(seq, base, ti, j, k)) return true;
          if (j >= text.size() || text[j] == '/') return false;
        }
      case Kind::RecursivePrefix:
        if (rest(seq, base, ti, si, k)) return true;
        for (std::size_t j = si; j < text.size(); ++j)
          if (text[j] == '/' && rest(seq, base, ti, j + 1, k)) return true;
        return false;
      case Kind::RecursiveSuffix:
        if (si >= text.size() || text[si] != '/') return false;
        for (std::size_t j = text.size() + 1; j-- > si + 1;)
          if (rest(seq, base, ti, j, k)) return true;
        return false;
      case Kind::RecursiveZeroOrMore:
        if (si >= text.size() || text[si] != '/') return false;
        for (std::size_t j = si; j < text.size(); ++j)
          if (text[j] == '/' && rest(seq, base, ti, j + 1, k)) return true;
        return false;
      case Kind::Alternates: {
        Continuation after{&seq, ti + 1, base};
        for (std::size_t a = 0; a < t.alternates.size(); ++a)
          if (at(t.alternates[a], t.alternate_slots[a], 0, si, &after)) return true;
        return false;
      }
    }
    return false;
  }

  std::string_view text_;
  std::vector<bool> failed_;
};

// Numbers the positions of the top sequence and of every alternative.
std::size_t assign_slots(std::vector<Token>& tokens) {
  std::size_t next = tokens.size() + 1;
  for (Token& t : tokens) {
    for (const auto& alt : t.alternates) {
      t.alternate_slots.push_back(next);
      next += alt.size() + 1;
    }
  }
  return next;
}

std::string failure_text(std::string_view glob, std::string_view reason) {
  return fmt::format("error parsing glob '{}': {}", glob, reason);
}

}  // namespace

std::string GlobError::text_of(const UnclosedClass& v) {
  return failure_text(v.glob, "unclosed character class; missing ']'");
}
std::string GlobError::text_of(const InvalidRange& v) {
  return failure_text(v.glob, "invalid character range");
}
std::string GlobError::text_of(const UnopenedAlternates& v) {
  return failure_text(v.glob, "unopened alternate group; missing '{' (maybe escape '}' with '[}]'?)");
}
std::string GlobError::text_of(const UnclosedAlternates& v) {
  return failure_text(v.glob, "unclosed alternate group; missing '}' (maybe escape '{' with '[{]'?)");
}
std::string GlobError::text_of(const NestedAlternates& v) {
  return failure_text(v.glob, "nested alternate groups are not allowed");
}
std::string GlobError::text_of(const DanglingEscape& v) {
  return failure_text(v.glob, "dangling '\\'");
}

std::expected<Glob, GlobError> Glob::compile(std::string_view pattern) {
  auto tokens = Parser(pattern).parse();
  if (!tokens) return std::unexpected(std::move(tokens.error()));
  Glob g;
  g.everything_ = tokens->size() == 1 && (*tokens)[0].kind == Kind::RecursivePrefix;
  // The leading literals, checked with one comparison before the matcher runs.
  std::size_t n = 0;
  while (n < tokens->size() && (*tokens)[n].kind == Kind::Literal) {
    char32_t c = (*tokens)[n].ch;
    if (c >= 0x80) break;
    g.literal_prefix_ += static_cast<char>(c);
    ++n;
  }
  tokens->erase(tokens->begin(), tokens->begin() + static_cast<std::ptrdiff_t>(n));
  g.slots_ = assign_slots(*tokens);
  g.tokens_ = std::make_shared<const std::vector<Token>>(std::move(*tokens));
  return g;
}

bool Glob::matches(std::string_view text) const {
  if (everything_) return true;
  if (!text.starts_with(literal_prefix_)) return false;
  text.remove_prefix(literal_prefix_.size());
  return Matcher(text, slots_).at(*tokens_, 0, 0, 0, nullptr);
}

std::vector<std::size_t> GlobSet::matches(std::string_view text) const {
  std::vector<std::size_t> hits;
  for (std::size_t i = 0; i < globs_.size(); ++i)
    if (globs_[i].matches(text)) hits.push_back(i);
  return hits;
}

}  // namespace kestro::auth
