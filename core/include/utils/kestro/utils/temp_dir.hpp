// Private temporary directories owned by the object that made them: created
// empty in the system's temporary area and removed, with everything in
// them, when the owner is dropped.
#pragma once

#include <expected>
#include <filesystem>
#include <utility>

#include "kestro/utils/fs_error.hpp"

namespace kestro {

class OwnedTempDir {
 public:
  // A fresh directory named ".tmp" and six random characters in the system's
  // temporary area ($TMPDIR, else /tmp); MkTempDir on failure.
  static std::expected<OwnedTempDir, FsIoError> create();

  OwnedTempDir(OwnedTempDir&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  OwnedTempDir& operator=(OwnedTempDir&& other) noexcept;
  OwnedTempDir(const OwnedTempDir&) = delete;
  OwnedTempDir& operator=(const OwnedTempDir&) = delete;
  // Removes the directory and its contents; a failure to remove is ignored.
  ~OwnedTempDir() { remove(); }

  const fs::path& path() const { return path_; }
  // Gives up ownership: the directory stays on disk and its path is returned.
  fs::path release() noexcept { return std::exchange(path_, fs::path()); }

 private:
  explicit OwnedTempDir(fs::path path) : path_(std::move(path)) {}
  void remove() noexcept;
  fs::path path_;
};

}  // namespace kestro
