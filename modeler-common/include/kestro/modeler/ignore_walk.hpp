// A directory walk that leaves out what the user keeps out of version
// control and out of searches: hidden entries (names beginning with `.`),
// what `.ignore` files list, and inside a git repository (a `.git` or `.jj`
// entry in a directory or one of its ancestors) what `.gitignore` files, the
// repository's `info/exclude` and the user's global excludes file list.
// Ignore files of the start directory's ancestors count as well. Symbolic
// links are listed, never followed; there is no depth limit.
//
// When several files speak about one path, the file of the deepest
// directory decides; within one directory `.ignore` comes before
// `.gitignore`; after every directory's files come `info/exclude` and then
// the global file. An ignored directory is not entered, so nothing below it
// can be taken back in.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestro::modeler {

namespace fs = std::filesystem;

enum class WalkedKind { File, Symlink, Other };

struct WalkedEntry {
  fs::path path;
  WalkedKind kind;
};

// Every entry below `start` (an existing, canonical directory) that is not a
// directory and that no filter leaves out, in no particular order. A
// directory or ignore file that cannot be read ends the walk with a message
// naming it.
std::expected<std::vector<WalkedEntry>, std::string> walk_unignored(const fs::path& start);

// The user's global excludes file: `core.excludesFile` of git's
// configuration (the repository's own configuration file `repo_config`
// when given, the user's and the system's), else
// $XDG_CONFIG_HOME/git/ignore, else ~/.config/git/ignore; none without a
// home.
std::optional<fs::path> global_excludes_file(const std::optional<fs::path>& repo_config);

}  // namespace kestro::modeler
