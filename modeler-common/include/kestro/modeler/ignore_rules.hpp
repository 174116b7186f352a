// Ignore files in the format of `.gitignore`: one pattern a line, `#`
// comments, `!` to take a path back in, a trailing `/` for directories only,
// a `/` at the start or inside to anchor the pattern to the file's own
// directory, `*`, `?`, `[...]` classes (with `!` or `^` negation, ranges and
// `[:name:]` classes), `**` across directories, and `\` escapes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestro::modeler {

// What the patterns say about a path: nothing, left out, or taken back in
// by a negated pattern.
enum class IgnoreVerdict { None, Ignore, Keep };

// Whether `text` matches the wildcard pattern, `/` matched only by a `/` of
// the pattern or by a `**` that stands as a whole component.
bool ignore_pattern_matches(std::string_view pattern, std::string_view text);

class IgnoreFile {
 public:
  IgnoreFile() = default;
  // The patterns of a file's content: a leading byte-order mark, blank
  // lines, comments and unescaped trailing blanks are dropped; a line may
  // end in "\r\n".
  static IgnoreFile parse(std::string_view content);

  bool empty() const { return patterns_.empty(); }
  // The verdict of the last pattern that matches `relative`, a path below
  // the file's directory written "a/b/c".
  IgnoreVerdict match(std::string_view relative, bool is_dir) const;

 private:
  struct Pattern {
    std::string glob;
    bool negated = false;
    bool dir_only = false;
    bool anchored = false;  // matched against the whole relative path, not just the last name
  };
  std::vector<Pattern> patterns_;
};

}  // namespace kestro::modeler
