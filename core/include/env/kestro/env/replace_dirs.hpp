// Moving finished directory trees into the environment all together: either
// every target ends up holding its new tree, or every directory that was
// moved goes back where it was. Also the moves and copies it is built from,
// which fall back to copy-and-delete across file systems.
#pragma once

#include "kestro/env/namespace.hpp"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <span>
#include <utility>

#include "kestro/env/env_error.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::env {

// One (source, target) pair: the source is an existing directory, the target
// the path it must end up at; a tree already at the target is discarded.
using DirMove = std::pair<fs::path, fs::path>;

// Stages every source in a scratch directory of the system's temporary area,
// sets every existing target aside there, then moves the staged trees into
// place; on success the scratch directory, with the previous targets, is
// removed. A failed step undoes every move (RecoveredIO). When undoing fails
// too (CatastrophicIO) the scratch directory is kept, since it may hold the
// only copy of a previous tree, and its path is carried in the error.
std::expected<void, TryMoveError> replace_dirs_transactionally(std::span<const DirMove> moves);

// rename(2); across file systems a copy of the file or tree followed by the
// removal of the original. A failing copy leaves what it copied at `to` and
// the original untouched. Move, Metadata, RmDir, RmFile or a copy's error.
std::expected<void, FsIoError> move_fs_item(const fs::path& from, const fs::path& to);

// Copies the tree at `from` into a new directory `to` (its parent must
// exist, `to` must not). Symbolic links are followed and written as regular
// files. MkDir, ReadDir or CopyFile; the first failure stops the copy.
std::expected<void, FsIoError> copy_dir_recursive(const fs::path& from, const fs::path& to);

// Copies one file's content and permission bits to `to` (created or
// truncated); the number of bytes copied, or CopyFile.
std::expected<std::uint64_t, FsIoError> copy_fs_file(const fs::path& from, const fs::path& to);

// Empties the directory at `dir`, best effort: every entry is removed (a
// subdirectory after emptying it, a symbolic link as a link, never its
// target); the directory itself stays. Failures are logged as warnings and
// skipped; nothing is reported.
void clear_dir_contents(const fs::path& dir);

}  // namespace kestro::env
