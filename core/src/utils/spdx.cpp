#include "kestro/utils/spdx.hpp"

#include <algorithm>
#include <iterator>

namespace kestro::spdx {

namespace {

struct LicenseId {
  std::string_view id;
  bool deprecated;
  bool gnu;
};

#include "spdx_ids.inc"

const LicenseId* find_license(std::string_view id) {
  auto it = std::lower_bound(std::begin(kLicenseIds), std::end(kLicenseIds), id,
                             [](const LicenseId& l, std::string_view key) { return l.id < key; });
  return it != std::end(kLicenseIds) && it->id == id ? &*it : nullptr;
}

bool is_exception(std::string_view id) { return std::binary_search(std::begin(kExceptionIds), std::end(kExceptionIds), id); }

// Characters of an idstring, plus the `:` of a document reference.
bool is_word_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == ':';
}

bool is_idstring(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c != ':' && is_word_char(c); });
}

// `<prefix><idstring>`, optionally behind `DocumentRef-<idstring>:`.
bool is_reference(std::string_view word, std::string_view prefix) {
  if (word.starts_with("DocumentRef-")) {
    auto colon = word.find(':');
    if (colon == std::string_view::npos || !is_idstring(word.substr(12, colon - 12))) return false;
    word = word.substr(colon + 1);
  }
  return word.starts_with(prefix) && is_idstring(word.substr(prefix.size()));
}

enum class Kind { License, Exception, LicenseRef, AdditionRef, And, Or, With, Plus, Open, Close, End };

struct Token {
  Kind kind;
  std::size_t offset;
  std::size_t length;
  std::string_view text;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::expected<Expression, SpdxParseError> run() {
    if (auto failed = advance()) return std::unexpected(std::move(*failed));
    if (auto failed = or_expression()) return std::unexpected(std::move(*failed));
    if (token_.kind == Kind::Close) return std::unexpected(error(token_, "unbalanced `)`"));
    if (token_.kind != Kind::End) return std::unexpected(error(token_, "expected `AND`, `OR` or the end"));
    return std::move(expression_);
  }

 private:
  using Failure = std::optional<SpdxParseError>;

  SpdxParseError error(const Token& at, std::string reason) const {
    return SpdxParseError(std::string(text_), at.offset, at.length, std::move(reason));
  }

  // Reads the next token into `token_`.
  Failure advance() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
      ++pos_;
    std::size_t start = pos_;
    auto single = [&](Kind kind) -> Failure {
      token_ = Token{kind, start, 1, text_.substr(start, 1)};
      ++pos_;
      return std::nullopt;
    };
    if (pos_ == text_.size()) {
      token_ = Token{Kind::End, pos_, 0, {}};
      return std::nullopt;
    }
    char c = text_[pos_];
    if (c == '(') return single(Kind::Open);
    if (c == ')') return single(Kind::Close);
    if (c == '+') return single(Kind::Plus);
    if (c == '/') return error(Token{Kind::End, start, 1, {}}, "`/` is not an operator; use `OR`");
    if (!is_word_char(c)) {
      std::size_t length = 1;
      while (start + length < text_.size() && (static_cast<unsigned char>(text_[start + length]) & 0xC0) == 0x80)
        ++length;
      return error(Token{Kind::End, start, length, {}}, "invalid character");
    }
    while (pos_ < text_.size() && is_word_char(text_[pos_])) ++pos_;
    std::string_view word = text_.substr(start, pos_ - start);
    token_ = Token{Kind::End, start, word.size(), word};
    return classify(token_);
  }

  Failure classify(Token& t) {
    std::string_view w = t.text;
    if (w == "AND") t.kind = Kind::And;
    else if (w == "OR") t.kind = Kind::Or;
    else if (w == "WITH") t.kind = Kind::With;
    else if (is_operator_in_other_case(w)) return error(t, "operators must be upper case (`AND`, `OR`, `WITH`)");
    else if (is_reference(w, "LicenseRef-")) t.kind = Kind::LicenseRef;
    else if (is_reference(w, "AdditionRef-")) t.kind = Kind::AdditionRef;
    else if (const LicenseId* license = find_license(w)) {
      if (license->deprecated) return error(t, "deprecated license identifier");
      t.kind = Kind::License;
    } else if (is_exception(w)) t.kind = Kind::Exception;
    else return error(t, "unknown term");
    return std::nullopt;
  }

  static bool is_operator_in_other_case(std::string_view w) {
    auto upper = [](std::string_view s) {
      std::string out(s);
      for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      return out;
    };
    std::string u = upper(w);
    return u == "AND" || u == "OR" || u == "WITH";
  }

  Failure or_expression() {
    if (auto failed = and_expression()) return failed;
    while (token_.kind == Kind::Or) {
      if (auto failed = advance()) return failed;
      if (auto failed = and_expression()) return failed;
    }
    return std::nullopt;
  }

  Failure and_expression() {
    if (auto failed = with_expression()) return failed;
    while (token_.kind == Kind::And) {
      if (auto failed = advance()) return failed;
      if (auto failed = with_expression()) return failed;
    }
    return std::nullopt;
  }

  Failure with_expression() {
    if (token_.kind == Kind::Open) {
      // Licence texts come from archives of any origin: the nesting, and so
      // the recursion, is bounded.
      if (depth_ == kMaxDepth) return error(token_, "parentheses nested too deeply");
      ++depth_;
      if (auto failed = advance()) return failed;
      if (auto failed = or_expression()) return failed;
      if (token_.kind != Kind::Close) return error(token_, "expected `)`");
      --depth_;
      return advance();
    }
    if (token_.kind == Kind::Exception) return error(token_, "expected a license, found an exception");
    if (token_.kind != Kind::License && token_.kind != Kind::LicenseRef)
      return error(token_, "expected a license, `LicenseRef-` or `(`");
    Requirement requirement{std::string(token_.text), false, std::nullopt};
    Token license = token_;
    if (auto failed = advance()) return failed;
    if (token_.kind == Kind::Plus) {
      if (license.kind != Kind::License || token_.offset != license.offset + license.length)
        return error(token_, "`+` must follow a listed license directly");
      if (find_license(license.text)->gnu)
        return error(Token{Kind::Plus, license.offset, license.length + 1, {}},
                     "a GNU license takes no `+`; use its `-or-later` identifier");
      requirement.or_later = true;
      if (auto failed = advance()) return failed;
    }
    if (token_.kind == Kind::With) {
      if (auto failed = advance()) return failed;
      if (token_.kind != Kind::Exception && token_.kind != Kind::AdditionRef)
        return error(token_, "expected an exception or `AdditionRef-` after `WITH`");
      requirement.exception = std::string(token_.text);
      if (auto failed = advance()) return failed;
    }
    expression_.requirements.push_back(std::move(requirement));
    return std::nullopt;
  }

  static constexpr std::size_t kMaxDepth = 64;

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t depth_ = 0;
  Token token_{Kind::End, 0, 0, {}};
  Expression expression_;
};

// The number of code points in `bytes`: the columns a marker spans.
std::size_t columns(std::string_view bytes) {
  return static_cast<std::size_t>(
      std::count_if(bytes.begin(), bytes.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

}  // namespace

std::string SpdxParseError::message() const {
  std::string_view text = expression_;
  std::size_t offset = std::min(offset_, text.size());
  std::size_t pad = columns(text.substr(0, offset));
  std::size_t width = std::max<std::size_t>(1, columns(text.substr(offset, length_)));
  return expression_ + "\n" + std::string(pad, ' ') + std::string(width, '^') + " " + reason_;
}

std::expected<Expression, SpdxParseError> parse_expression(std::string_view text) { return Parser(text).run(); }

std::vector<std::string> licence_file_names(const Expression& expression) {
  std::vector<std::string> names;
  auto add = [&](const std::string& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  };
  for (const Requirement& r : expression.requirements) {
    add(r.license);
    if (r.exception) add(*r.exception);
  }
  return names;
}

}  // namespace kestro::spdx
