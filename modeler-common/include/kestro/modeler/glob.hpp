// Path patterns for model sources and exclusions: a pattern is either a
// plain path or a literal root directory with regular expressions over the
// path below it. Wildcards are `*` (within one component, never starting a
// hidden name at the start of a component), `**` (across components), `?`,
// `[...]` classes and `{a,b}` alternatives; `\` escapes the next character.
//
// The expressions run on ICU's regular expressions (backtracking,
// leftmost-first) over UTF-8 text, so match offsets are byte offsets.
#pragma once

#include <cstddef>
#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/utils/error.hpp"

namespace kestro::modeler {

namespace fs = std::filesystem;

// A pattern the regular-expression engine refused: the whole pattern as
// given, and the engine's reason for the first expression that did not
// compile.
struct GlobError {
  std::string pattern;
  std::string message;
  bool operator==(const GlobError&) const = default;
};

// One translated expression, compiled once and matched three ways: over the
// whole text, from its start, or anywhere in it.
class GlobRegex {
 public:
  static std::expected<GlobRegex, std::string> compile(std::string source);
  GlobRegex(GlobRegex&&) noexcept;
  GlobRegex& operator=(GlobRegex&&) noexcept;
  ~GlobRegex();

  // The expression as translated, before compiling.
  const std::string& source() const { return source_; }
  bool matches_whole(std::string_view text) const;
  // The end of the match that starts at the start of `text`, if any.
  std::optional<std::size_t> match_at_start(std::string_view text) const;
  // The leftmost match as [begin, end) byte offsets, if any.
  std::optional<std::pair<std::size_t, std::size_t>> find(std::string_view text) const;
  // Whether `text` matches whole, or is the start of a text that could:
  // matching ran into the end of `text` before it could decide.
  bool matches_or_could_continue(std::string_view text) const;

 private:
  struct Compiled;  // the engine's compiled form
  GlobRegex(std::string source, std::unique_ptr<const Compiled> compiled);
  std::string source_;
  std::unique_ptr<const Compiled> compiled_;
};

struct CompiledGlob {
  std::string pattern;                   // as given
  std::string root;                      // the literal directory before the first wildcard, expanded; may be empty
  std::optional<fs::path> walk_root;     // the root as a path; absent when the root is empty
  std::optional<GlobRegex> path_regexes; // the rest of the pattern
  std::optional<GlobRegex> dir_regexes;  // its directory part; absent when the rest names no directory
};

using GlobPattern = std::variant<std::string, CompiledGlob>;  // a literal path text, or a glob

// Splits and translates one pattern. A pattern without wildcards is a
// literal path (after `expand_tilde`).
std::expected<GlobPattern, GlobError> glob_to_regex(std::string_view pattern);

// Appends `text` to `out` with a leading `~` replaced by the home directory
// (HOME, else USERPROFILE, backslashes as `/`; nothing when neither is set),
// else a leading "./" dropped, and every backslash removed. Returns the new
// length of `out`. An empty text appends nothing.
std::size_t expand_tilde(std::string_view text, std::string& out);

// Whether the glob takes in the file at `path` (is_dir false), or enters the
// directory at `path` (is_dir true), where `root` is the canonical walk root.
// A path not below the root is never taken in.
bool glob_matches_under_root(const fs::path& root, const CompiledGlob& glob, const fs::path& path, bool is_dir);

// Exclusion patterns, compiled once for a whole file list.
struct ExclusionSet {
  std::vector<std::string> literals;  // backslashes as `/`
  std::vector<CompiledGlob> globs;
};

std::expected<ExclusionSet, GlobError> build_exclusion_set(const std::vector<std::string>& patterns);

// True when no exclusion matches `path`. A pattern matches whole components
// anywhere in the path, and a matched directory excludes what lies below it.
bool exclusion_keeps(const ExclusionSet& set, const fs::path& path);

}  // namespace kestro::modeler
