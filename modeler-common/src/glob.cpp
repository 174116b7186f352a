#include "kestro/modeler/glob.hpp"

#include <cstdlib>
#include <utility>

#include <fmt/format.h>
#include <unicode/parseerr.h>
#include <unicode/regex.h>
#include <unicode/utext.h>
#include <unicode/utypes.h>

#include "kestro/utils/text.hpp"

namespace kestro::modeler {

namespace {

constexpr std::string_view kMetacharacters = "*?[]{}";

// A bound on one match, in the engine's steps (on the order of a
// millisecond each): a pattern whose alternatives backtrack badly gives up
// instead of hanging, and counts as no match.
constexpr int32_t kMatchStepLimit = 1000;

// A UTF-8 view of bytes as ICU text; offsets in it are byte offsets.
class Utf8Text {
 public:
  explicit Utf8Text(std::string_view bytes) {
    UErrorCode status = U_ZERO_ERROR;
    utext_openUTF8(&text_, bytes.data(), static_cast<int64_t>(bytes.size()), &status);
  }
  ~Utf8Text() { utext_close(&text_); }
  Utf8Text(const Utf8Text&) = delete;
  Utf8Text& operator=(const Utf8Text&) = delete;
  UText* get() { return &text_; }

 private:
  UText text_ = UTEXT_INITIALIZER;
};

// A matcher of `pattern` over `text`; both must outlive it.
std::unique_ptr<icu::RegexMatcher> matcher_over(const icu::RegexPattern& pattern, Utf8Text& text) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> m(pattern.matcher(status));
  if (U_FAILURE(status)) return nullptr;
  m->reset(text.get());
  m->setTimeLimit(kMatchStepLimit, status);
  return m;
}

std::string_view regex_failure_reason(UErrorCode code) {
  switch (code) {
    case U_REGEX_RULE_SYNTAX: return "syntax error";
    case U_REGEX_BAD_ESCAPE_SEQUENCE: return "unrecognized escape sequence";
    case U_REGEX_PROPERTY_SYNTAX: return "invalid Unicode property";
    case U_REGEX_MISMATCHED_PAREN: return "unclosed or unopened group";
    case U_REGEX_MISSING_CLOSE_BRACKET: return "unclosed character class";
    case U_REGEX_INVALID_RANGE: return "invalid character class range";
    case U_REGEX_NUMBER_TOO_BIG: return "number too big";
    case U_REGEX_BAD_INTERVAL: return "invalid repetition count";
    case U_REGEX_MAX_LT_MIN: return "repetition maximum below its minimum";
    case U_REGEX_INVALID_BACK_REF: return "invalid back reference";
    case U_REGEX_INVALID_FLAG: return "invalid flag";
    case U_REGEX_OCTAL_TOO_BIG: return "octal value too big";
    case U_REGEX_PATTERN_TOO_BIG: return "expression too big";
    case U_REGEX_INVALID_CAPTURE_GROUP_NAME: return "invalid group name";
    default: return u_errorName(code);
  }
}

bool is_escaped_in_regex(char c) {
  switch (c) {
    case '(': case ')': case '+': case '|': case '^': case '$': case '.': case '&': case '~': case '#':
    case ' ': case '\t': case '\n': case '\r': case '\v': case '\f':
      return true;
    default:
      return false;
  }
}

// Bytes of the character starting at `text[i]` (one for a byte that starts
// no valid UTF-8 sequence).
std::size_t char_length(std::string_view text, std::size_t i) {
  const std::size_t n = utf8_sequence_length(text, i);
  return n == 0 ? 1 : n;
}

// Where the `]` closing a class opened at `open` stands, looked for from
// `from`; a `]` right after a backslash does not close.
std::optional<std::size_t> class_close(std::string_view rest, std::size_t from) {
  for (std::size_t j = from; j < rest.size(); ++j)
    if (rest[j] == ']' && rest[j - 1] != '\\') return j;
  return std::nullopt;
}

// Whether the `{` at `open` has a matching `}`, nested braces counted and
// escaped characters passed over.
bool has_brace_close(std::string_view rest, std::size_t open) {
  int depth = 0;
  for (std::size_t j = open; j < rest.size(); ++j) {
    if (rest[j] == '\\') {
      ++j;
    } else if (rest[j] == '{') {
      ++depth;
    } else if (rest[j] == '}' && --depth == 0) {
      return true;
    }
  }
  return false;
}

// The pattern after its literal root, as an expression over the path below
// the root.
std::string translate_rest(std::string_view rest) {
  enum class Group { Brace, Class };
  std::vector<Group> open;
  std::string out;
  bool escaped = false;
  for (std::size_t i = 0; i < rest.size();) {
    const char c = rest[i];
    const bool next_is = i + 1 < rest.size();
    if (escaped) {
      const std::size_t n = char_length(rest, i);
      out += '\\';
      out += rest.substr(i, n);
      escaped = false;
      i += n;
      continue;
    }
    switch (c) {
      case '\\':
        escaped = true;
        break;
      case '?':
        out += "[^/]";
        break;
      case '/':
        out += '/';
        if (next_is && rest[i + 1] == '*') out += "[^./]";
        break;
      case '*':
        if (next_is && rest[i + 1] == '*') {
          const bool begins = i == 0;
          ++i;  // the second star
          if (i + 1 < rest.size()) {
            out += '(';
            if (begins) out += "[^./]";
            out += "[^/]*(/[^./][^/]*)*";
            if (rest[i + 1] == '/') {
              ++i;
              out += "/?";
            }
            out += ")?";
          } else {
            if (begins) out += "[^./]";
            out += "[^/]*/?";
          }
        } else {
          out += i == 0 ? "[^./][^/]*" : "[^/]*";
          if (i + 1 == rest.size()) out += "/?";
        }
        break;
      case '[': {
        const bool negated = next_is && (rest[i + 1] == '!' || rest[i + 1] == '^');
        if (!class_close(rest, i + (negated ? 3 : 2))) {
          out += "\\[";
          break;
        }
        out += '[';
        if (negated) {
          out += '^';
          ++i;
        }
        if (i + 1 < rest.size() && rest[i + 1] == ']') {
          out += "\\]";
          ++i;
        }
        open.push_back(Group::Class);
        break;
      }
      case ']':
        if (!open.empty() && open.back() == Group::Class) {
          open.pop_back();
          out += ']';
        } else {
          out += "\\]";
        }
        break;
      case '{':
        if (has_brace_close(rest, i)) {
          out += '(';
          open.push_back(Group::Brace);
        } else {
          out += "\\{";
        }
        break;
      case '}':
        if (!open.empty() && open.back() == Group::Brace) {
          open.pop_back();
          out += ')';
        } else {
          out += "\\}";
        }
        break;
      case ',':
        out += open.empty() ? ',' : '|';
        break;
      default: {
        if (is_escaped_in_regex(c)) out += '\\';
        const std::size_t n = char_length(rest, i);
        out += rest.substr(i, n);
        i += n;
        continue;
      }
    }
    ++i;
  }
  return out;
}

// The leading part of a translated expression that the directories on the
// way to a match must follow, or none when matches lie in the root itself.
std::optional<std::string> directory_part(std::string_view r) {
  if (r.ends_with("/?")) r.remove_suffix(2);
  std::size_t slash = std::string_view::npos;
  for (std::size_t j = r.size(); j-- > 0;)
    if (r[j] == '/' && (j + 1 == r.size() || r[j + 1] != ']')) {
      slash = j;
      break;
    }
  if (slash != std::string_view::npos && r.substr(slash).starts_with("/?)?")) return std::string(r.substr(0, slash + 4));
  if (slash == std::string_view::npos || slash == 0) return std::nullopt;
  return std::string(r.substr(0, slash));
}

std::expected<std::optional<GlobRegex>, GlobError> compile_part(std::string_view pattern, std::string source) {
  if (source.empty()) return std::nullopt;
  auto compiled = GlobRegex::compile(std::move(source));
  if (!compiled) return std::unexpected(GlobError{std::string(pattern), std::move(compiled.error())});
  return std::optional<GlobRegex>(std::move(*compiled));
}

// The path as text with backslashes as `/`, invalid UTF-8 replaced.
std::string slash_text(const fs::path& path) {
  std::string text = utf8_lossy(path.native());
  for (char& c : text)
    if (c == '\\') c = '/';
  return text;
}

// Whether [begin, end) of `text` covers whole components: it starts at the
// start or after a `/`, and ends at the end, before a `/` or after one.
bool covers_components(std::string_view text, std::size_t begin, std::size_t end) {
  const bool starts = begin == 0 || text[begin - 1] == '/';
  const bool ends = end == text.size() || text[end] == '/' || (end > 0 && text[end - 1] == '/');
  return starts && ends;
}

bool literal_excludes(std::string_view literal, std::string_view path) {
  const std::size_t at = path.find(literal);
  if (at == std::string_view::npos) return false;
  const std::size_t end = at + literal.size();
  return (at == 0 || path[at - 1] == '/') && (end == path.size() || path[end] == '/');
}

bool is_absolute_root(std::string_view root) {
  if (root.starts_with('/')) return true;
  return root.size() >= 3 && std::isalpha(static_cast<unsigned char>(root[0])) && root[1] == ':' &&
         (root[2] == '\\' || root[2] == '/');
}

bool glob_excludes(const CompiledGlob& glob, std::string_view path) {
  if (!glob.path_regexes) return false;
  if (glob.root.empty()) {
    const auto found = glob.path_regexes->find(path);
    return found && covers_components(path, found->first, found->second);
  }
  std::string_view rest;
  if (path.starts_with(glob.root)) {
    rest = path.substr(glob.root.size());
  } else if (!is_absolute_root(glob.root)) {
    const std::size_t at = path.find(glob.root);
    if (at == std::string_view::npos || (at != 0 && path[at - 1] != '/')) return false;
    rest = path.substr(at + glob.root.size());
  } else {
    return false;
  }
  if (rest.starts_with('/')) rest.remove_prefix(1);
  const auto end = glob.path_regexes->match_at_start(rest);
  return end && covers_components(rest, 0, *end);
}

}  // namespace

struct GlobRegex::Compiled {
  std::unique_ptr<icu::RegexPattern> pattern;
};

GlobRegex::GlobRegex(std::string source, std::unique_ptr<const Compiled> compiled)
    : source_(std::move(source)), compiled_(std::move(compiled)) {}
GlobRegex::GlobRegex(GlobRegex&&) noexcept = default;
GlobRegex& GlobRegex::operator=(GlobRegex&&) noexcept = default;
GlobRegex::~GlobRegex() = default;

std::expected<GlobRegex, std::string> GlobRegex::compile(std::string source) {
  // Dot matches every character, line ends included; the anchoring is the
  // choice of match call, since `$` would also match before a final line end.
  const std::string full = "(?s)(?:" + source + ")";
  Utf8Text text(full);
  UParseError where{};
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(text.get(), 0, where, status));
  if (U_FAILURE(status))
    return std::unexpected(fmt::format("regex parse error: {} at offset {} of `{}`", regex_failure_reason(status),
                                       where.offset, full));
  return GlobRegex(std::move(source), std::make_unique<const Compiled>(Compiled{std::move(pattern)}));
}

bool GlobRegex::matches_whole(std::string_view text) const {
  Utf8Text input(text);
  auto m = matcher_over(*compiled_->pattern, input);
  UErrorCode status = U_ZERO_ERROR;
  return m && m->matches(status) && U_SUCCESS(status);
}

std::optional<std::size_t> GlobRegex::match_at_start(std::string_view text) const {
  Utf8Text input(text);
  auto m = matcher_over(*compiled_->pattern, input);
  UErrorCode status = U_ZERO_ERROR;
  if (!m || !m->lookingAt(status) || U_FAILURE(status)) return std::nullopt;
  const int64_t end = m->end64(status);
  if (U_FAILURE(status)) return std::nullopt;
  return static_cast<std::size_t>(end);
}

std::optional<std::pair<std::size_t, std::size_t>> GlobRegex::find(std::string_view text) const {
  Utf8Text input(text);
  auto m = matcher_over(*compiled_->pattern, input);
  UErrorCode status = U_ZERO_ERROR;
  if (!m || !m->find(status) || U_FAILURE(status)) return std::nullopt;
  const int64_t begin = m->start64(status);
  const int64_t end = m->end64(status);
  if (U_FAILURE(status)) return std::nullopt;
  return std::pair{static_cast<std::size_t>(begin), static_cast<std::size_t>(end)};
}

bool GlobRegex::matches_or_could_continue(std::string_view text) const {
  Utf8Text input(text);
  auto m = matcher_over(*compiled_->pattern, input);
  UErrorCode status = U_ZERO_ERROR;
  if (!m) return false;
  const bool matched = m->matches(status);
  if (U_FAILURE(status)) return false;
  return matched || m->hitEnd();
}

std::size_t expand_tilde(std::string_view text, std::string& out) {
  if (text.empty()) return out.size();
  if (text.starts_with('~')) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || !is_valid_utf8(home)) home = std::getenv("USERPROFILE");
    if (home != nullptr)
      for (const char* p = home; *p; ++p) out += *p == '\\' ? '/' : *p;
    text.remove_prefix(1);
  } else if (text.starts_with("./")) {
    text.remove_prefix(2);
  }
  for (char c : text)
    if (c != '\\') out += c;
  return out.size();
}

std::expected<GlobPattern, GlobError> glob_to_regex(std::string_view pattern) {
  std::size_t meta = std::string_view::npos;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '\\') {
      ++i;
    } else if (kMetacharacters.find(pattern[i]) != std::string_view::npos) {
      meta = i;
      break;
    }
  }
  if (meta == std::string_view::npos) {
    std::string literal;
    expand_tilde(pattern, literal);
    return literal;
  }
  const std::size_t slash = pattern.substr(0, meta).rfind('/');
  const std::size_t root_len = slash == std::string_view::npos ? 0 : slash + 1;
  CompiledGlob glob;
  glob.pattern = std::string(pattern);
  expand_tilde(pattern.substr(0, root_len), glob.root);
  if (!glob.root.empty()) glob.walk_root = fs::path(glob.root);
  std::string r = translate_rest(pattern.substr(root_len));
  std::optional<std::string> dir = directory_part(r);
  auto path = compile_part(pattern, std::move(r));
  if (!path) return std::unexpected(std::move(path.error()));
  glob.path_regexes = std::move(*path);
  if (dir) {
    auto compiled = compile_part(pattern, std::move(*dir));
    if (!compiled) return std::unexpected(std::move(compiled.error()));
    glob.dir_regexes = std::move(*compiled);
  }
  return glob;
}

bool glob_matches_under_root(const fs::path& root, const CompiledGlob& glob, const fs::path& path, bool is_dir) {
  auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  // A trailing separator of the root is an empty last component.
  if (r != root.end() && !(r->empty() && std::next(r) == root.end())) return false;
  fs::path below;
  for (; p != path.end(); ++p) below /= *p;
  const std::string text = slash_text(below);
  if (!is_dir) return glob.path_regexes && glob.path_regexes->matches_whole(text);
  // A directory is entered when a path below it could still match the
  // directory part: itself whole, or the start of a longer path.
  if (!glob.dir_regexes) return false;
  return glob.dir_regexes->matches_whole(text) || glob.dir_regexes->matches_or_could_continue(text + "/");
}

std::expected<ExclusionSet, GlobError> build_exclusion_set(const std::vector<std::string>& patterns) {
  ExclusionSet set;
  for (const auto& pattern : patterns) {
    auto translated = glob_to_regex(pattern);
    if (!translated) return std::unexpected(std::move(translated.error()));
    if (auto* literal = std::get_if<std::string>(&*translated)) {
      for (char& c : *literal)
        if (c == '\\') c = '/';
      set.literals.push_back(std::move(*literal));
    } else {
      set.globs.push_back(std::move(std::get<CompiledGlob>(*translated)));
    }
  }
  return set;
}

bool exclusion_keeps(const ExclusionSet& set, const fs::path& path) {
  const std::string text = slash_text(path);
  for (const auto& literal : set.literals)
    if (literal_excludes(literal, text)) return false;
  for (const auto& glob : set.globs)
    if (glob_excludes(glob, text)) return false;
  return true;
}

}  // namespace kestro::modeler
