#include "kestro/utils/semver.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::semver {

namespace {

enum class Part { Major, Minor, Patch, Pre, Build };

const char* part_name(Part part) {
  switch (part) {
    case Part::Major: return "major version number";
    case Part::Minor: return "minor version number";
    case Part::Patch: return "patch version number";
    case Part::Pre: return "pre-release identifier";
    case Part::Build: return "build metadata";
  }
  return "";
}

bool is_ident_char(char c) { return is_ascii_alnum(c) || c == '-'; }
bool is_wildcard(char c) { return c == '*' || c == 'x' || c == 'X'; }

struct Cursor : TextCursor {
  void skip_blanks() {
    while (!at_end() && text[i] == ' ') ++i;
  }
  SemverError unexpected(std::string_view context) const {
    if (at_end()) return SemverError(fmt::format("unexpected end of input {}", context));
    return SemverError(fmt::format("unexpected character {} {}", found(), context));
  }
};

std::expected<std::uint64_t, SemverError> parse_number(Cursor& c, Part part) {
  std::size_t start = c.i;
  std::uint64_t value = 0;
  while (is_ascii_digit(c.peek())) {
    auto digit = static_cast<std::uint64_t>(c.peek() - '0');
    if (value > (UINT64_MAX - digit) / 10)
      return std::unexpected(SemverError(fmt::format("value of {} exceeds the largest supported number", part_name(part))));
    value = value * 10 + digit;
    ++c.i;
  }
  if (c.i == start) return std::unexpected(c.unexpected(fmt::format("while parsing {}", part_name(part))));
  if (c.text[start] == '0' && c.i - start > 1)
    return std::unexpected(SemverError(fmt::format("invalid leading zero in {}", part_name(part))));
  return value;
}

// Dot-separated identifiers of a pre-release or of build metadata, up to the
// end of the text or one of `stops`.
std::expected<std::string, SemverError> parse_identifiers(Cursor& c, Part part, std::string_view stops) {
  std::size_t start = c.i;
  while (true) {
    std::size_t ident = c.i;
    bool numeric = true;
    while (is_ident_char(c.peek())) {
      numeric = numeric && is_ascii_digit(c.peek());
      ++c.i;
    }
    if (c.i == ident) {
      if (c.at_end() || c.peek() == '.' || stops.find(c.peek()) != std::string_view::npos)
        return std::unexpected(SemverError(fmt::format("empty identifier segment in {}", part_name(part))));
      return std::unexpected(c.unexpected(fmt::format("while parsing {}", part_name(part))));
    }
    if (part == Part::Pre && numeric && c.text[ident] == '0' && c.i - ident > 1)
      return std::unexpected(SemverError(fmt::format("invalid leading zero in {}", part_name(part))));
    if (!c.eat('.')) break;
  }
  if (!c.at_end() && stops.find(c.peek()) == std::string_view::npos)
    return std::unexpected(c.unexpected(fmt::format("while parsing {}", part_name(part))));
  return std::string(c.text.substr(start, c.i - start));
}

int compare_numeric_text(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

bool all_digits(std::string_view s) {
  for (char c : s)
    if (!is_ascii_digit(c)) return false;
  return true;
}

std::strong_ordering to_ordering(int c) {
  return c < 0 ? std::strong_ordering::less : c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
}

// The comparisons below walk the components from the left; a component the
// comparator leaves out ends the walk.
bool matches_exact(const Comparator& c, const Version& v) {
  if (v.major != c.major) return false;
  if (!c.minor) return true;
  if (v.minor != *c.minor) return false;
  if (!c.patch) return true;
  return v.patch == *c.patch && v.pre == c.pre;
}

bool matches_greater(const Comparator& c, const Version& v) {
  if (v.major != c.major) return v.major > c.major;
  if (!c.minor) return false;
  if (v.minor != *c.minor) return v.minor > *c.minor;
  if (!c.patch) return false;
  if (v.patch != *c.patch) return v.patch > *c.patch;
  return compare_prerelease(v.pre, c.pre) > 0;
}

bool matches_less(const Comparator& c, const Version& v) {
  if (v.major != c.major) return v.major < c.major;
  if (!c.minor) return false;
  if (v.minor != *c.minor) return v.minor < *c.minor;
  if (!c.patch) return false;
  if (v.patch != *c.patch) return v.patch < *c.patch;
  return compare_prerelease(v.pre, c.pre) < 0;
}

bool matches_tilde(const Comparator& c, const Version& v) {
  if (v.major != c.major) return false;
  if (!c.minor) return true;
  if (v.minor != *c.minor) return false;
  if (!c.patch) return true;
  if (v.patch != *c.patch) return v.patch > *c.patch;
  return compare_prerelease(v.pre, c.pre) >= 0;
}

bool matches_caret(const Comparator& c, const Version& v) {
  if (v.major != c.major) return false;
  if (!c.minor) return true;
  if (!c.patch) return c.major > 0 ? v.minor >= *c.minor : v.minor == *c.minor;
  if (c.major > 0) {
    if (v.minor != *c.minor) return v.minor > *c.minor;
  } else if (v.minor != *c.minor) {
    return false;
  } else if (*c.minor == 0 && v.patch != *c.patch) {
    return false;
  }
  if (v.patch != *c.patch) return v.patch > *c.patch;
  return compare_prerelease(v.pre, c.pre) >= 0;
}

const char* op_text(Op op) {
  switch (op) {
    case Op::Exact: return "=";
    case Op::Greater: return ">";
    case Op::GreaterEq: return ">=";
    case Op::Less: return "<";
    case Op::LessEq: return "<=";
    case Op::Tilde: return "~";
    case Op::Caret: return "^";
    case Op::Wildcard: return "";
  }
  return "";
}

std::expected<Op, SemverError> parse_op(Cursor& c, bool& explicit_op) {
  explicit_op = true;
  if (c.eat('=')) return Op::Exact;
  if (c.eat('>')) return c.eat('=') ? Op::GreaterEq : Op::Greater;
  if (c.eat('<')) return c.eat('=') ? Op::LessEq : Op::Less;
  if (c.eat('~')) return Op::Tilde;
  if (c.eat('^')) return Op::Caret;
  explicit_op = false;
  return Op::Caret;
}

std::expected<Comparator, SemverError> parse_comparator(Cursor& c) {
  Comparator cmp;
  bool explicit_op = false;
  cmp.op = *parse_op(c, explicit_op);
  c.skip_blanks();
  if (is_wildcard(c.peek()))
    return std::unexpected(SemverError("a wildcard in place of the major version number must stand alone"));
  auto major = parse_number(c, Part::Major);
  if (!major) return std::unexpected(major.error());
  cmp.major = *major;
  bool wildcard = false;
  Part last = Part::Major;
  for (Part part : {Part::Minor, Part::Patch}) {
    if (!c.eat('.')) break;
    last = part;
    std::optional<std::uint64_t>& slot = part == Part::Minor ? cmp.minor : cmp.patch;
    if (is_wildcard(c.peek())) {
      ++c.i;
      wildcard = true;
    } else if (wildcard) {
      return std::unexpected(c.unexpected("after a wildcard"));
    } else {
      auto n = parse_number(c, part);
      if (!n) return std::unexpected(n.error());
      slot = *n;
    }
  }
  if (cmp.patch) {
    if (c.eat('-')) {
      auto pre = parse_identifiers(c, Part::Pre, "+ ,");
      if (!pre) return std::unexpected(pre.error());
      cmp.pre = std::move(*pre);
      last = Part::Pre;
    }
    // Build metadata does not take part in matching.
    if (c.eat('+')) {
      auto build = parse_identifiers(c, Part::Build, " ,");
      if (!build) return std::unexpected(build.error());
      last = Part::Build;
    }
  }
  if (wildcard && !explicit_op) cmp.op = Op::Wildcard;
  c.skip_blanks();
  if (!c.at_end() && c.peek() != ',')
    return std::unexpected(c.unexpected(fmt::format("after {}, expected `,`", part_name(last))));
  return cmp;
}

}  // namespace

std::strong_ordering compare_prerelease(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return a.empty() <=> b.empty();
  while (true) {
    auto da = a.find('.'), db = b.find('.');
    std::string_view ia = a.substr(0, da), ib = b.substr(0, db);
    bool na = all_digits(ia), nb = all_digits(ib);
    int c = na && nb ? compare_numeric_text(ia, ib) : na != nb ? (na ? -1 : 1) : ia.compare(ib);
    if (c != 0) return to_ordering(c);
    if (da == std::string_view::npos || db == std::string_view::npos)
      return (da != std::string_view::npos) <=> (db != std::string_view::npos);
    a.remove_prefix(da + 1);
    b.remove_prefix(db + 1);
  }
}

std::strong_ordering compare_precedence(const Version& a, const Version& b) {
  if (auto c = a.major <=> b.major; c != 0) return c;
  if (auto c = a.minor <=> b.minor; c != 0) return c;
  if (auto c = a.patch <=> b.patch; c != 0) return c;
  return compare_prerelease(a.pre, b.pre);
}

namespace {

// Build identifiers as compare_version_order ranks them.
std::strong_ordering compare_build(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return !a.empty() <=> !b.empty();
  while (true) {
    auto da = a.find('.'), db = b.find('.');
    std::string_view ia = a.substr(0, da), ib = b.substr(0, db);
    bool na = all_digits(ia), nb = all_digits(ib);
    int c = 0;
    if (na && nb) {
      std::string_view va = ia.substr(std::min(ia.find_first_not_of('0'), ia.size()));
      std::string_view vb = ib.substr(std::min(ib.find_first_not_of('0'), ib.size()));
      c = compare_numeric_text(va, vb);
      // Equal values: the longer text has more leading zeros and ranks higher.
      if (c == 0 && ia.size() != ib.size()) c = ia.size() < ib.size() ? -1 : 1;
    } else {
      c = na != nb ? (na ? -1 : 1) : ia.compare(ib);
    }
    if (c != 0) return to_ordering(c);
    if (da == std::string_view::npos || db == std::string_view::npos)
      return (da != std::string_view::npos) <=> (db != std::string_view::npos);
    a.remove_prefix(da + 1);
    b.remove_prefix(db + 1);
  }
}

}  // namespace

std::strong_ordering compare_version_order(const Version& a, const Version& b) {
  if (auto c = compare_precedence(a, b); c != 0) return c;
  return compare_build(a.build, b.build);
}

std::strong_ordering operator<=>(const Version& a, const Version& b) {
  if (auto c = compare_precedence(a, b); c != 0) return c;
  return to_ordering(a.build.compare(b.build));
}

std::expected<Version, SemverError> Version::parse(std::string_view text) {
  if (text.empty()) return std::unexpected(SemverError("empty string, expected a semantic version"));
  Cursor c{{text}};
  Version v;
  Part parts[] = {Part::Major, Part::Minor, Part::Patch};
  std::uint64_t* slots[] = {&v.major, &v.minor, &v.patch};
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && !c.eat('.')) return std::unexpected(c.unexpected(fmt::format("after {}", part_name(parts[k - 1]))));
    auto n = parse_number(c, parts[k]);
    if (!n) return std::unexpected(n.error());
    *slots[k] = *n;
  }
  if (c.eat('-')) {
    auto pre = parse_identifiers(c, Part::Pre, "+");
    if (!pre) return std::unexpected(pre.error());
    v.pre = std::move(*pre);
  }
  if (c.eat('+')) {
    auto build = parse_identifiers(c, Part::Build, "");
    if (!build) return std::unexpected(build.error());
    v.build = std::move(*build);
  }
  if (!c.at_end()) return std::unexpected(c.unexpected("after patch version number"));
  return v;
}

std::string Version::to_string() const {
  std::string out = fmt::format("{}.{}.{}", major, minor, patch);
  if (!pre.empty()) out += "-" + pre;
  if (!build.empty()) out += "+" + build;
  return out;
}

bool Comparator::matches(const Version& v) const {
  switch (op) {
    case Op::Exact:
    case Op::Wildcard: return matches_exact(*this, v);
    case Op::Greater: return matches_greater(*this, v);
    case Op::GreaterEq: return matches_exact(*this, v) || matches_greater(*this, v);
    case Op::Less: return matches_less(*this, v);
    case Op::LessEq: return matches_exact(*this, v) || matches_less(*this, v);
    case Op::Tilde: return matches_tilde(*this, v);
    case Op::Caret: return matches_caret(*this, v);
  }
  return false;
}

std::string Comparator::to_string() const {
  std::string out = fmt::format("{}{}", op_text(op), major);
  if (minor) {
    out += fmt::format(".{}", *minor);
    if (patch) {
      out += fmt::format(".{}", *patch);
      if (!pre.empty()) out += "-" + pre;
    } else if (op == Op::Wildcard) {
      out += ".*";
    }
  } else if (op == Op::Wildcard) {
    out += ".*";
  }
  return out;
}

std::expected<VersionReq, SemverError> VersionReq::parse(std::string_view text) {
  Cursor c{{text}};
  c.skip_blanks();
  if (c.at_end()) return std::unexpected(SemverError("empty string, expected a semantic version requirement"));
  VersionReq req;
  if (is_wildcard(c.peek())) {
    ++c.i;
    c.skip_blanks();
    if (!c.at_end()) return std::unexpected(c.unexpected("after a wildcard requirement"));
    return req;
  }
  while (true) {
    auto cmp = parse_comparator(c);
    if (!cmp) return std::unexpected(cmp.error());
    req.comparators.push_back(std::move(*cmp));
    if (c.at_end()) return req;
    c.eat(',');
    c.skip_blanks();
  }
}

bool VersionReq::matches(const Version& v) const {
  for (const auto& c : comparators)
    if (!c.matches(v)) return false;
  if (v.pre.empty()) return true;
  // A pre-release is only admitted by a comparator that names its release
  // with a pre-release, so that ^1.0.0 does not pick up 2.0.0-alpha.
  for (const auto& c : comparators)
    if (c.major == v.major && c.minor == v.minor && c.patch == v.patch && !c.pre.empty()) return true;
  return false;
}

std::string VersionReq::to_string() const {
  if (comparators.empty()) return "*";
  std::string out;
  for (const auto& c : comparators) {
    if (!out.empty()) out += ", ";
    out += c.to_string();
  }
  return out;
}

}  // namespace kestro::semver
