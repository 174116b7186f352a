#include "kestro/modeler/ignore_rules.hpp"

#include <cctype>
#include <cstddef>
#include <optional>

namespace kestro::modeler {

namespace {

// The outcome of matching a pattern from some position. Beyond a plain
// failure, a failure can tell the callers above that no later start can
// succeed either: a `*` that ran out of text (All), or one that would have
// to cross a `/` that only an enclosing `**` may cross (ToDoubleStar).
enum class Outcome { Match, NoMatch, AbortAll, AbortToDoubleStar };

bool is_special(char c) { return c == '*' || c == '?' || c == '[' || c == '\\'; }

bool named_class_has(std::string_view name, unsigned char c) {
  if (name == "alnum") return std::isalnum(c);
  if (name == "alpha") return std::isalpha(c);
  if (name == "blank") return c == ' ' || c == '\t';
  if (name == "cntrl") return std::iscntrl(c);
  if (name == "digit") return std::isdigit(c);
  if (name == "graph") return std::isgraph(c);
  if (name == "lower") return std::islower(c);
  if (name == "print") return std::isprint(c);
  if (name == "punct") return std::ispunct(c);
  if (name == "space") return std::isspace(c);
  if (name == "upper") return std::isupper(c);
  return std::isxdigit(c);
}

bool is_named_class(std::string_view name) {
  for (std::string_view known : {"alnum", "alpha", "blank", "cntrl", "digit", "graph", "lower", "print", "punct",
                                 "space", "upper", "xdigit"})
    if (name == known) return true;
  return false;
}

class Matcher {
 public:
  Matcher(std::string_view p, std::string_view t) : p_(p), t_(t) {}

  Outcome run(std::size_t pi, std::size_t ti) const {
    for (; pi < p_.size(); ++pi, ++ti) {
      const char pc = p_[pi];
      if (ti >= t_.size() && pc != '*') return Outcome::AbortAll;
      const unsigned char tc = static_cast<unsigned char>(ti < t_.size() ? t_[ti] : '\0');
      switch (pc) {
        case '\\':
          // A lone backslash at the end matches nothing.
          if (++pi >= p_.size() || static_cast<unsigned char>(p_[pi]) != tc) return Outcome::NoMatch;
          break;
        case '?':
          if (tc == '/') return Outcome::NoMatch;
          break;
        case '[': {
          const auto after = bracket(pi, tc);
          if (!after) return Outcome::AbortAll;
          if (after->second == false || tc == '/') return Outcome::NoMatch;
          pi = after->first;
          break;
        }
        case '*':
          return star(pi, ti);
        default:
          if (static_cast<unsigned char>(pc) != tc) return Outcome::NoMatch;
      }
    }
    return ti == t_.size() ? Outcome::Match : Outcome::NoMatch;
  }

 private:
  // The class opened at `open` against the character `tc`: the index of its
  // closing `]` and whether `tc` is in it, or none when the class is never
  // closed or names an unknown `[:class:]`.
  std::optional<std::pair<std::size_t, bool>> bracket(std::size_t open, unsigned char tc) const {
    std::size_t i = open + 1;
    auto at = [&](std::size_t k) -> char { return k < p_.size() ? p_[k] : '\0'; };
    const bool negated = at(i) == '!' || at(i) == '^';
    if (negated) ++i;
    bool matched = false;
    int previous = -1;  // the last single character, a range's start
    for (bool first = true; first || at(i) != ']'; first = false) {
      char c = at(i);
      if (c == '\0') return std::nullopt;
      if (c == '\\') {
        c = at(++i);
        if (c == '\0') return std::nullopt;
        if (tc == static_cast<unsigned char>(c)) matched = true;
        previous = static_cast<unsigned char>(c);
      } else if (c == '-' && previous >= 0 && at(i + 1) != '\0' && at(i + 1) != ']') {
        char end = at(++i);
        if (end == '\\') {
          end = at(++i);
          if (end == '\0') return std::nullopt;
        }
        if (tc <= static_cast<unsigned char>(end) && tc >= previous) matched = true;
        previous = -1;
      } else if (c == '[' && at(i + 1) == ':') {
        const std::size_t name_start = i + 2;
        std::size_t j = name_start;
        while (at(j) != '\0' && at(j) != ']') ++j;
        if (at(j) == '\0') return std::nullopt;
        if (j == name_start || at(j - 1) != ':') {
          // No ":]": an ordinary `[` in the class.
          if (tc == '[') matched = true;
          previous = '[';
        } else {
          const std::string_view name = p_.substr(name_start, j - 1 - name_start);
          if (!is_named_class(name)) return std::nullopt;
          if (named_class_has(name, tc)) matched = true;
          previous = -1;
          i = j;
        }
      } else {
        if (tc == static_cast<unsigned char>(c)) matched = true;
        previous = static_cast<unsigned char>(c);
      }
      ++i;
    }
    return std::pair{i, matched != negated};
  }

  // A run of stars at `pi` against the text from `ti`.
  Outcome star(std::size_t pi, std::size_t ti) const {
    const std::size_t first = pi;
    while (pi + 1 < p_.size() && p_[pi + 1] == '*') ++pi;
    std::size_t next = pi + 1;  // the pattern after the stars
    bool crosses_slash = false;
    if (pi > first) {
      const bool whole_start = first == 0 || p_[first - 1] == '/';
      const bool whole_end = next == p_.size() || p_[next] == '/' ||
                             (p_[next] == '\\' && next + 1 < p_.size() && p_[next + 1] == '/');
      if (whole_start && whole_end) {
        // "**/" may stand for no directory at all.
        if (next < p_.size() && p_[next] == '/' && run(next + 1, ti) == Outcome::Match) return Outcome::Match;
        crosses_slash = true;
      }
    }
    if (next == p_.size()) {
      if (!crosses_slash && t_.find('/', ti) != std::string_view::npos) return Outcome::NoMatch;
      return Outcome::Match;
    }
    if (!crosses_slash && p_[next] == '/') {
      // One star before a slash takes the rest of this component.
      const std::size_t slash = t_.find('/', ti);
      if (slash == std::string_view::npos) return Outcome::AbortAll;
      return run(next, slash);
    }
    for (; ti < t_.size(); ++ti) {
      if (!is_special(p_[next])) {
        // The text up to the next occurrence of the literal belongs to the star.
        while (ti < t_.size() && (crosses_slash || t_[ti] != '/') && t_[ti] != p_[next]) ++ti;
        if (ti >= t_.size() || t_[ti] != p_[next]) return Outcome::NoMatch;
      }
      const Outcome outcome = run(next, ti);
      if (outcome != Outcome::NoMatch) {
        if (!crosses_slash || outcome != Outcome::AbortToDoubleStar) return outcome;
      } else if (!crosses_slash && t_[ti] == '/') {
        return Outcome::AbortToDoubleStar;
      }
    }
    return Outcome::AbortAll;
  }

  std::string_view p_;
  std::string_view t_;
};

// The line without the blanks at its end, unless a backslash escapes them.
std::string_view trim_trailing_blanks(std::string_view line) {
  std::optional<std::size_t> blanks_from;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') {
      if (!blanks_from) blanks_from = i;
    } else if (line[i] == '\\') {
      if (++i >= line.size()) return line;
      blanks_from.reset();
    } else {
      blanks_from.reset();
    }
  }
  return blanks_from ? line.substr(0, *blanks_from) : line;
}

}  // namespace

bool ignore_pattern_matches(std::string_view pattern, std::string_view text) {
  return Matcher(pattern, text).run(0, 0) == Outcome::Match;
}

IgnoreFile IgnoreFile::parse(std::string_view content) {
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);
  IgnoreFile file;
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = trim_trailing_blanks(line);
    Pattern pattern;
    if (line.starts_with('!')) {
      pattern.negated = true;
      line.remove_prefix(1);
    }
    if (line.ends_with('/')) {
      pattern.dir_only = true;
      line.remove_suffix(1);
    }
    if (line.empty()) continue;
    pattern.anchored = line.find('/') != std::string_view::npos;
    if (line.starts_with('/')) line.remove_prefix(1);
    pattern.glob = std::string(line);
    file.patterns_.push_back(std::move(pattern));
  }
  return file;
}

IgnoreVerdict IgnoreFile::match(std::string_view relative, bool is_dir) const {
  const std::size_t slash = relative.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
  for (auto it = patterns_.rbegin(); it != patterns_.rend(); ++it) {
    if (it->dir_only && !is_dir) continue;
    if (ignore_pattern_matches(it->glob, it->anchored ? relative : name))
      return it->negated ? IgnoreVerdict::Keep : IgnoreVerdict::Ignore;
  }
  return IgnoreVerdict::None;
}

}  // namespace kestro::modeler
