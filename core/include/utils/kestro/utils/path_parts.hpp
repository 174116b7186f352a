// The one walk over the components of a `/`-separated path, the policies
// paths are checked against, and the one ordering of paths.
//
// Every check of `.` and `..` in the package manager goes through PathParts:
// a path read from a project, an archive, an environment, a lock file or a
// URL is split the same way, and only the policy (what a part may be) varies.
#pragma once

#include <compare>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace kestro {

// Which spellings name a dot segment: only `.` and `..`, or also the forms a
// URL parser decodes to them (`%2e`, `.%2e`, `%2E%2e`, … in any case).
enum class DotSpelling { Plain, PercentEncoded };

struct PathPart {
  enum class Kind {
    Root,     // the leading `/` of an absolute path
    Empty,    // between two separators, or after a trailing one
    Current,  // `.`
    Parent,   // `..`
    Name,     // anything else
  };
  Kind kind;
  std::string_view text;  // the part as written; "/" for Root
  bool leading;           // the part starts the path (a Root, or the first part of a relative path)
};

PathPart::Kind dot_kind(std::string_view part, DotSpelling spelling = DotSpelling::Plain);

// The parts of `path` in order: a leading `/` is Root, then one part per
// separator-delimited piece, empty ones included. The empty path has none.
class PathParts {
 public:
  class iterator {
   public:
    using value_type = PathPart;
    using difference_type = std::ptrdiff_t;
    iterator() = default;
    const PathPart& operator*() const { return part_; }
    const PathPart* operator->() const { return &part_; }
    iterator& operator++() {
      advance();
      return *this;
    }
    iterator operator++(int) {
      iterator old = *this;
      advance();
      return old;
    }
    bool operator==(const iterator& other) const { return next_ == other.next_; }

   private:
    friend class PathParts;
    iterator(std::string_view path, DotSpelling spelling, std::size_t next);
    void advance();

    std::string_view path_;
    DotSpelling spelling_ = DotSpelling::Plain;
    std::size_t next_ = npos;  // where the part after this one starts; npos at the end
    PathPart part_{PathPart::Kind::Empty, {}, false};
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  };

  explicit PathParts(std::string_view path, DotSpelling spelling = DotSpelling::Plain)
      : path_(path), spelling_(spelling) {}
  iterator begin() const;
  iterator end() const { return iterator(); }

 private:
  std::string_view path_;
  DotSpelling spelling_;
};

// What a path may hold, by where it comes from.
enum class PathPolicy {
  // Relative, no empty part (no `//`, no trailing `/`); dots allowed.
  Relative,
  // Relative to a project root as records and lock files write it: no empty
  // part, no `.` and no `..`.
  ProjectRelative,
  // Resolved below a root: not absolute, and no `..` climbs above where the
  // path starts; empty parts and `.` mean nothing.
  BelowRoot,
  // Below a root and written without climbing: not absolute, no `..` and no
  // leading `.` (an environment's project directories).
  NormalBelowRoot,
  // A zip entry's name safe to extract: below a root, not empty, no NUL.
  ArchiveEntry,
  // The segments of a URL path: no segment a URL parser reads as `.` or
  // `..`, in any of its spellings.
  RemoteSegment,
};

enum class PathFault { Absolute, EmptyPart, Current, Parent, Escapes, Nul };

// The first part of `path` the policy refuses, or none. An empty path is an
// EmptyPart for the policies that need a name (Relative, ProjectRelative,
// ArchiveEntry).
std::optional<PathFault> path_fault(std::string_view path, PathPolicy policy);

// The names `path` comes to below its start once `.`, empty parts and `..`
// are applied; none when a `..` climbs above the start. A Root part is
// ignored: callers refuse absolute paths first.
std::optional<std::vector<std::string_view>> names_below_root(std::string_view path);

// The parts of `path` that paths are compared by: Root, a leading `.`,
// `..` and names; empty parts and any other `.` are dropped.
template <typename F>
void for_each_significant_part(std::string_view path, F&& f) {
  for (const PathPart& p : PathParts(path)) {
    if (p.kind == PathPart::Kind::Empty || (p.kind == PathPart::Kind::Current && !p.leading)) continue;
    f(p);
  }
}

// The one ordering of paths: part by part, Root before `.` before `..`
// before names, names by their bytes (unsigned), a path before its
// extensions. `a/b`, `a//b`, `a/./b` and `a/b/` are equal.
std::strong_ordering compare_paths(std::string_view a, std::string_view b);

// Whether `path` is `dir` or lies below it, compared part by part (so
// `/a/bc` is not below `/a/b`). Purely lexical.
bool is_within(std::string_view path, std::string_view dir);

}  // namespace kestro
