#include "kestro/env/replace_dirs.hpp"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/temp_dir.hpp"

namespace kestro::env {

namespace {

IoError io_of(const std::error_code& ec) { return IoError::from_errno(ec.value()); }

// Whether something is at `path`, links followed: a dangling link, and a
// path that cannot be looked up at all, count as nothing there.
bool exists_followed(const fs::path& path) {
  struct ::stat st {};
  return stat_path(path, st);
}

fs::path staged_path(const fs::path& scratch, std::size_t i) { return scratch / ("src_" + std::to_string(i)); }
fs::path set_aside_path(const fs::path& scratch, std::size_t i) { return scratch / ("trg_" + std::to_string(i)); }

// One loop of undoing: every pair whose `from` still exists is moved back to
// its `to`, in pair order. The first failing move ends the undo.
template <typename From, typename To>
std::expected<void, FsIoError> move_back(std::size_t n, From from, To to) {
  for (std::size_t i = 0; i < n; ++i) {
    const fs::path source = from(i);
    if (!exists_followed(source)) continue;
    if (auto moved = move_fs_item(source, to(i)); !moved) return moved;
  }
  return {};
}

}  // namespace

std::expected<std::uint64_t, FsIoError> copy_fs_file(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) return std::unexpected(FsIoError(FsIoError::CopyFile{from, to, io_of(ec)}));
  const auto size = fs::file_size(to, ec);
  if (ec) return std::unexpected(FsIoError(FsIoError::CopyFile{from, to, io_of(ec)}));
  return static_cast<std::uint64_t>(size);
}

std::expected<void, FsIoError> copy_dir_recursive(const fs::path& from, const fs::path& to) {
  if (::mkdir(to.c_str(), 0777) != 0) return std::unexpected(FsIoError(FsIoError::MkDir{to, IoError::last()}));
  std::error_code ec;
  fs::directory_iterator it(from, ec);
  const auto read_dir_failed = [&] { return std::unexpected(FsIoError(FsIoError::ReadDir{from, io_of(ec)})); };
  if (ec) return read_dir_failed();
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) return read_dir_failed();
    const fs::directory_entry& entry = *it;
    const fs::path destination = to / entry.path().filename();
    const bool is_dir = entry.is_directory(ec) && !entry.is_symlink(ec);
    if (ec) return read_dir_failed();
    if (is_dir) {
      if (auto copied = copy_dir_recursive(entry.path(), destination); !copied) return copied;
    } else if (auto copied = copy_fs_file(entry.path(), destination); !copied) {
      return std::unexpected(std::move(copied.error()));
    }
  }
  if (ec) return read_dir_failed();
  return {};
}

std::expected<void, FsIoError> move_fs_item(const fs::path& from, const fs::path& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  if (errno != EXDEV) return std::unexpected(FsIoError(FsIoError::Move{from, to, IoError::last()}));
  auto st = stat_file(from);
  if (!st) return std::unexpected(FsIoError(FsIoError::Metadata{from, std::move(st.error())}));
  std::error_code ec;
  if (S_ISDIR(st->st_mode)) {
    if (auto copied = copy_dir_recursive(from, to); !copied) return copied;
    fs::remove_all(from, ec);
    if (ec) return std::unexpected(FsIoError(FsIoError::RmDir{from, io_of(ec)}));
    return {};
  }
  if (auto copied = copy_fs_file(from, to); !copied) return std::unexpected(std::move(copied.error()));
  if (::unlink(from.c_str()) != 0) return std::unexpected(FsIoError(FsIoError::RmFile{from, IoError::last()}));
  return {};
}

std::expected<void, TryMoveError> replace_dirs_transactionally(std::span<const DirMove> moves) {
  auto scratch_dir = OwnedTempDir::create();
  if (!scratch_dir) return std::unexpected(TryMoveError(TryMoveError::RecoveredIO{std::move(scratch_dir.error())}));
  const fs::path scratch = scratch_dir->path();
  const std::size_t n = moves.size();
  const auto source = [&](std::size_t i) { return moves[i].first; };
  const auto target = [&](std::size_t i) { return moves[i].second; };
  const auto staged = [&](std::size_t i) { return staged_path(scratch, i); };
  const auto set_aside = [&](std::size_t i) { return set_aside_path(scratch, i); };

  // Undo levels: 1 unstages, 2 also puts the previous targets back, 3 also
  // takes the placed trees out again first.
  const auto roll_back = [&](int level, FsIoError failed) -> TryMoveError {
    std::expected<void, FsIoError> undone;
    if (level >= 3) undone = move_back(n, target, staged);
    if (undone && level >= 2) undone = move_back(n, set_aside, target);
    if (undone) undone = move_back(n, staged, source);
    if (undone) return TryMoveError(TryMoveError::RecoveredIO{std::move(failed)});
    // The scratch directory may hold the only copy of a tree: keep it.
    fs::path kept = scratch_dir->release();
    return TryMoveError(TryMoveError::CatastrophicIO{std::move(undone.error()), std::move(failed), std::move(kept)});
  };

  for (std::size_t i = 0; i < n; ++i)
    if (auto moved = move_fs_item(source(i), staged(i)); !moved) return std::unexpected(roll_back(1, std::move(moved.error())));
  for (std::size_t i = 0; i < n; ++i) {
    if (!exists_followed(target(i))) continue;
    if (auto moved = move_fs_item(target(i), set_aside(i)); !moved)
      return std::unexpected(roll_back(2, std::move(moved.error())));
  }
  for (std::size_t i = 0; i < n; ++i)
    if (auto moved = move_fs_item(staged(i), target(i)); !moved) return std::unexpected(roll_back(3, std::move(moved.error())));
  return {};
}

void clear_dir_contents(const fs::path& dir) {
  constexpr std::string_view kTarget = "kestro_core::env::local_directory::utils";
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) {
    log::warn(kTarget, "failed to read directory entries for `{}`: {}", dir.string(), io_of(ec).message());
    return;
  }
  log::debug(kTarget, "clearing contents of dir `{}`", dir.string());
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) {
      log::warn(kTarget, "failed to read a dir entry of `{}`: {}", dir.string(), io_of(ec).message());
      break;
    }
    const fs::path entry = it->path();
    const fs::file_status status = it->symlink_status(ec);
    if (ec) {
      log::warn(kTarget, "failed to get file type of `{}`: {}", entry.string(), io_of(ec).message());
      ec.clear();
      continue;
    }
    if (fs::is_directory(status)) {
      clear_dir_contents(entry);
      if (::rmdir(entry.c_str()) != 0)
        log::warn(kTarget, "failed to remove empty dir `{}`: {}", entry.string(), IoError::last().message());
    } else if (::unlink(entry.c_str()) != 0) {
      log::warn(kTarget, "failed to remove file/symlink `{}`: {}", entry.string(), IoError::last().message());
    }
  }
}

}  // namespace kestro::env
