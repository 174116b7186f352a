// Semantic versions (SemVer 2.0.0) and version requirements.
//
// A version is strict: MAJOR.MINOR.PATCH without leading zeros, then an
// optional pre-release after `-` and optional build metadata after `+`;
// nothing before or after it.
//
// A requirement is one or more comparators separated by commas, each an
// optional operator (=, >, >=, <, <=, ~, ^) and a full or partial version;
// blanks may surround comparators and follow the operator. Without an
// operator a version means `^`, and a version whose trailing components are
// wildcards (`1.*`, `1.2.x`) means exactly those components. `*` alone
// matches every version. A pre-release version only matches when some
// comparator names the same MAJOR.MINOR.PATCH with a pre-release.
#pragma once

#include <compare>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/utils/error.hpp"

namespace kestro::semver {

class SemverError : public MessageError {
 public:
  explicit SemverError(std::string text) : MessageError(std::move(text)) {}
};

struct Version {
  std::uint64_t major = 0;
  std::uint64_t minor = 0;
  std::uint64_t patch = 0;
  std::string pre;    // pre-release identifiers without the `-`; empty when none
  std::string build;  // build metadata without the `+`; empty when none

  static std::expected<Version, SemverError> parse(std::string_view text);
  std::string to_string() const;

  friend bool operator==(const Version&, const Version&) = default;
  // Precedence, then build metadata byte for byte, so that the order agrees
  // with ==.
  friend std::strong_ordering operator<=>(const Version& a, const Version& b);
};

// SemVer precedence: build metadata does not count.
std::strong_ordering compare_precedence(const Version& a, const Version& b);
// Pre-release texts by precedence; the empty text (a release) ranks highest.
std::strong_ordering compare_prerelease(std::string_view a, std::string_view b);
// The order in which versions are listed and the highest is chosen:
// precedence, then build metadata as the last tie-break. Build identifiers
// are compared in turn: two all-digit ones by value, and at equal value the
// one with fewer leading zeros ranks lower; an all-digit one ranks below any
// other; others by their bytes; a list ranks below a longer one it begins,
// and no build metadata below any. Two versions are equal only when their
// texts are.
std::strong_ordering compare_version_order(const Version& a, const Version& b);

enum class Op {
  Exact,      // =I.J.K  (a partial =I.J means I.J.*)
  Greater,    // >I.J.K  (>I.J means >=I.(J+1).0)
  GreaterEq,  // >=I.J.K
  Less,       // <I.J.K
  LessEq,     // <=I.J.K (<=I.J means <I.(J+1).0)
  Tilde,      // ~I.J.K: >=I.J.K, <I.(J+1).0;  ~I: >=I.0.0, <(I+1).0.0
  Caret,      // ^I.J.K: up to the next change of the left-most non-zero component
  Wildcard,   // I.* or I.J.*: those components equal (written without operator)
};

struct Comparator {
  Op op = Op::Caret;
  std::uint64_t major = 0;
  std::optional<std::uint64_t> minor;
  std::optional<std::uint64_t> patch;  // only with minor
  std::string pre;                     // only with patch

  // Whether the version lies in this comparator's range; the pre-release
  // rule of VersionReq::matches is not applied here.
  bool matches(const Version& v) const;
  // "^1.2", ">=1.0.0-rc.1", "1.2.*".
  std::string to_string() const;
  friend bool operator==(const Comparator&, const Comparator&) = default;
};

struct VersionReq {
  std::vector<Comparator> comparators;  // all must match; none: `*`

  // The empty text (or blanks only) and texts such as "latest" fail.
  static std::expected<VersionReq, SemverError> parse(std::string_view text);
  bool matches(const Version& v) const;
  // The comparators joined by ", ", or "*".
  std::string to_string() const;
  friend bool operator==(const VersionReq&, const VersionReq&) = default;
};

}  // namespace kestro::semver
