// Exported-name extraction: the walk of each top-level statement.
#include "kestro/symbols/extract.hpp"

#include <algorithm>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::symbols {

namespace {

using Words = std::vector<std::pair<std::string_view, KeywordKind>>;

Words sysml_words() {
  Words words;
  const auto add = [&](KeywordKind kind, std::initializer_list<std::string_view> list) {
    for (std::string_view w : list) words.emplace_back(w, kind);
  };
  add(KeywordKind::Skip,
      {"abstract",   "public",      "protected",  "private",      "in",        "out",        "inout",
       "ref",        "readonly",    "do",         "entry",        "exit",      "enum",       "standard",
       "nonunique",  "ordered",     "library",    "package",      "doc",       "attribute",  "alias",
       "def",        "metadata",    "item",       "part",         "port",      "calc",       "occurrence",
       "event",      "requirement", "action",     "return",       "constraint", "assert",    "flow",
       "subject",    "derived",     "view",       "viewpoint",    "concern",   "verification", "objective",
       "analysis",   "allocation",  "use",        "case",         "connection", "state",     "rendering",
       "interface",  "succession",  "transition", "message",      "binding",   "result",     "require",
       "defined"});
  add(KeywordKind::References, {":", "by", ":>", "subsets", "specializes", ":>>", "redefines", "end", "accept", "via"});
  add(KeywordKind::BracketReferences, {"connect", "to", "first", "satisfy"});
  add(KeywordKind::Stop, {"import", "for", "default", ":=", "bind", "assign", "then"});
  return words;
}

Words kerml_words() {
  Words words;
  for (std::string_view w : {"public", "protected", "private", "standard", "library", "package"})
    words.emplace_back(w, KeywordKind::Skip);
  return words;
}

// The failure of one step of the walk; `at` is the offset of the token it
// concerns, when it concerns one.
struct ScanError {
  std::string message;
  std::optional<std::size_t> at;
};

template <typename T>
using Scan = std::expected<T, ScanError>;

std::unexpected<ScanError> fail(std::string message, std::optional<std::size_t> at = std::nullopt) {
  return std::unexpected(ScanError{std::move(message), at});
}

// Bytes of Unicode white space at the front of `text`.
std::size_t leading_white_space(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    char32_t c = 0;
    const std::size_t len = decode_utf8(text, i, &c);
    if (len == 0 || !is_white_space(c)) break;
    i += len;
  }
  return i;
}

// `text` without Unicode white space at its end.
std::string_view trim_white_space_end(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    char32_t c = 0;
    if (decode_utf8(text, start, &c) != end - start || !is_white_space(c)) break;
    end = start;
  }
  return text.substr(0, end);
}

// A cursor over the tokens of one statement.
class StatementWalk {
 public:
  StatementWalk(const Statement& statement, const KeywordMap& keywords) : s_(statement), keywords_(keywords) {}

  // The short name, then the declared name, appended to `names`.
  Scan<void> run(std::vector<std::string>& names);

 private:
  const Token* current() const { return i_ < s_.size() ? &s_[i_] : nullptr; }
  bool current_is(LexToken kind) const { return i_ < s_.size() && s_[i_].kind == kind; }
  void consume() { ++i_; }
  void skip_spaces() {
    while (current_is(LexToken::Space)) consume();
  }

  Scan<std::string> read_name_component();
  Scan<std::vector<std::string>> parse_name_chain();
  Scan<void> skip_name_list();
  Scan<void> skip_balanced_group(LexToken open, LexToken close);
  Scan<void> read_short_name();
  // Acts on a keyword; false when the walk of the statement ends (Stop).
  Scan<bool> act_on_keyword(KeywordKind kind);

  const Statement& s_;
  const KeywordMap& keywords_;
  std::size_t i_ = 0;
  std::optional<std::string> short_name_;
  std::optional<std::string> declared_name_;
};

Scan<std::string> StatementWalk::read_name_component() {
  const Token* token = current();
  if (token == nullptr) return fail("empty name");
  consume();
  switch (token->kind) {
    case LexToken::OtherIdentifier: return std::string(token->text);
    case LexToken::Quoted: {
      std::string_view name = token->text;
      while (name.starts_with('\'')) name.remove_prefix(1);
      while (name.ends_with('\'')) name.remove_suffix(1);
      return std::string(name);
    }
    default:
      return fail(fmt::format("invalid token of type {}, expected a name component: `{}`", token->kind, token->text),
                  token->start);
  }
}

Scan<std::vector<std::string>> StatementWalk::parse_name_chain() {
  std::vector<std::string> chain;
  while (true) {
    auto component = read_name_component();
    if (!component) return std::unexpected(std::move(component.error()));
    chain.push_back(std::move(*component));
    if (!current_is(LexToken::DoubleColon) && !current_is(LexToken::Period)) return chain;
    consume();
  }
}

Scan<void> StatementWalk::skip_name_list() {
  while (true) {
    if (auto chain = parse_name_chain(); !chain) return std::unexpected(std::move(chain.error()));
    skip_spaces();
    if (!current_is(LexToken::Comma)) return {};
    consume();
    skip_spaces();
  }
}

// A `(` group takes no notice of square brackets, and the reverse.
Scan<void> StatementWalk::skip_balanced_group(LexToken open, LexToken close) {
  std::size_t count = 1;
  consume();
  while (const Token* token = current()) {
    consume();
    if (token->kind == open) ++count;
    if (token->kind == close && --count == 0) return {};
  }
  return fail(fmt::format("unmatched {}", open));
}

Scan<void> StatementWalk::read_short_name() {
  const std::size_t lt = current()->start;
  consume();
  auto component = read_name_component();
  if (!component) return std::unexpected(std::move(component.error()));
  if (short_name_) return fail(fmt::format("unknown name `{}`", *component), lt);
  const Token* after = current();
  if (after == nullptr) return fail("unclosed short-name `<`", lt);
  if (after->kind != LexToken::GT)
    return fail(fmt::format("expected `>` to close the short name, found {} `{}`", after->kind, after->text), lt);
  consume();
  short_name_ = std::move(*component);
  return {};
}

Scan<bool> StatementWalk::act_on_keyword(KeywordKind kind) {
  switch (kind) {
    case KeywordKind::Skip: consume(); return true;
    case KeywordKind::Stop: return false;
    case KeywordKind::BracketReferences:
      consume();
      skip_spaces();
      if (current_is(LexToken::OpenSquare)) {
        if (auto group = skip_balanced_group(LexToken::OpenSquare, LexToken::CloseSquare); !group)
          return std::unexpected(std::move(group.error()));
        skip_spaces();
      }
      break;
    case KeywordKind::References:
      consume();
      skip_spaces();
      break;
  }
  if (auto list = skip_name_list(); !list) return std::unexpected(std::move(list.error()));
  return true;
}

Scan<void> StatementWalk::run(std::vector<std::string>& names) {
  // A Stop keyword or `=` ends the walk early.
  bool walking = true;
  while (walking && current() != nullptr) {
    const Token* token = current();
    Scan<void> step;
    switch (token->kind) {
      case LexToken::Space:
      case LexToken::BlockComment:
      case LexToken::LineComment: consume(); break;
      case LexToken::OtherIdentifier:
      case LexToken::Quoted:
      case LexToken::OtherSymbol: {
        if (const auto keyword = keywords_.find(token->text)) {
          auto go_on = act_on_keyword(*keyword);
          if (!go_on) return std::unexpected(std::move(go_on.error()));
          walking = *go_on;
          break;
        }
        if (token->kind == LexToken::OtherSymbol)
          return fail(fmt::format("unexpected unknown symbol `{}`", token->text), token->start);
        auto chain = parse_name_chain();
        if (!chain) return std::unexpected(std::move(chain.error()));
        if (chain->size() > 1) return fail(fmt::format("warn: got an unexpected reference: {}", debug_list(*chain)));
        if (declared_name_) return fail(fmt::format("unknown name `{}`", chain->front()), token->start);
        declared_name_ = std::move(chain->front());
        break;
      }
      case LexToken::UserKeywordStart:
        consume();
        if (auto chain = parse_name_chain(); !chain) return std::unexpected(std::move(chain.error()));
        break;
      case LexToken::LT: step = read_short_name(); break;
      case LexToken::OpenParen: step = skip_balanced_group(LexToken::OpenParen, LexToken::CloseParen); break;
      case LexToken::OpenSquare: step = skip_balanced_group(LexToken::OpenSquare, LexToken::CloseSquare); break;
      case LexToken::Equals: walking = false; break;
      case LexToken::Comma: return fail("unexpected comma (`,`)", token->start);
      case LexToken::String: return fail("unexpected string", token->start);
      case LexToken::CloseParen: return fail("unexpected `)`", token->start);
      case LexToken::CloseSquare: return fail("unexpected `]`", token->start);
      case LexToken::DoubleColon: return fail("unexpected `::`", token->start);
      case LexToken::Period: return fail("unexpected period (`.`)", token->start);
      case LexToken::GT: return fail("unexpected `>` outside a short name", token->start);
      // Grouping keeps these out of statements.
      case LexToken::BraceOpen:
      case LexToken::BraceClose:
      case LexToken::Semicolon: consume(); break;
    }
    if (!step) return step;
  }
  if (short_name_) names.push_back(std::move(*short_name_));
  if (declared_name_) names.push_back(std::move(*declared_name_));
  return {};
}

// The statement's text as shown in a message, and where an unlocated
// failure is placed: its first byte that is not white space.
ExtractError parse_error(std::string_view text, const Statement& statement, ScanError error) {
  const std::string_view first = statement.front().text;
  const std::size_t removed = leading_white_space(first);
  std::string shown(first.substr(removed));
  for (std::size_t i = 1; i < statement.size(); ++i) shown += statement[i].text;
  shown.resize(trim_white_space_end(shown).size());
  const auto [line, byte] = line_and_byte(text, error.at.value_or(statement.front().start + removed));
  return ExtractError(ExtractError::Parse{line, byte, std::move(shown), std::move(error.message)});
}

std::expected<std::vector<std::string>, ExtractError> extract(std::string_view text, Language language) {
  auto statements = group_statements(text);
  if (!statements) return std::unexpected(std::move(statements.error()));
  return extract_statement_names(text, *statements, build_keyword_map(language));
}

}  // namespace

std::optional<Language> parse_language_identifier(std::string_view text) {
  if (text.size() != 5) return std::nullopt;
  const std::string lower = ascii_lowercase(text);
  if (lower == "sysml") return Language::SysML;
  if (lower == "kerml") return Language::KerML;
  return std::nullopt;
}

KeywordMap::KeywordMap(std::vector<std::pair<std::string_view, KeywordKind>> words) : words_(std::move(words)) {
  std::sort(words_.begin(), words_.end());
}

std::optional<KeywordKind> KeywordMap::find(std::string_view word) const {
  const auto it = std::lower_bound(words_.begin(), words_.end(), word,
                                   [](const auto& entry, std::string_view w) { return entry.first < w; });
  if (it == words_.end() || it->first != word) return std::nullopt;
  return it->second;
}

const KeywordMap& build_keyword_map(Language language) {
  static const KeywordMap sysml(sysml_words());
  static const KeywordMap kerml(kerml_words());
  return language == Language::SysML ? sysml : kerml;
}

std::expected<std::vector<std::string>, ExtractError> extract_statement_names(std::string_view text,
                                                                               const std::vector<Statement>& statements,
                                                                               const KeywordMap& keywords) {
  std::vector<std::string> names;
  for (const Statement& statement : statements) {
    StatementWalk walk(statement, keywords);
    if (auto ok = walk.run(names); !ok) return std::unexpected(parse_error(text, statement, std::move(ok.error())));
  }
  return names;
}

std::expected<std::vector<std::string>, ExtractError> extract_sysml_symbols(std::string_view text) {
  return extract(text, Language::SysML);
}

std::expected<std::vector<std::string>, ExtractError> extract_kerml_symbols(std::string_view text) {
  return extract(text, Language::KerML);
}

std::expected<std::vector<std::string>, FileExtractError> extract_file_symbols(std::string_view path,
                                                                               std::string_view text, bool kerml) {
  auto names = extract(text, kerml ? Language::KerML : Language::SysML);
  if (!names) return std::unexpected(FileExtractError{std::string(path), std::move(names.error())});
  return std::move(*names);
}

}  // namespace kestro::symbols
