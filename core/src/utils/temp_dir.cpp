#include "kestro/utils/temp_dir.hpp"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace kestro {

std::expected<OwnedTempDir, FsIoError> OwnedTempDir::create() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) return std::unexpected(FsIoError(FsIoError::MkTempDir{IoError::from_errno(ec.value())}));
  std::string name = (base / ".tmpXXXXXX").string();
  if (::mkdtemp(name.data()) == nullptr) return std::unexpected(FsIoError(FsIoError::MkTempDir{IoError::last()}));
  return OwnedTempDir(fs::path(std::move(name)));
}

OwnedTempDir& OwnedTempDir::operator=(OwnedTempDir&& other) noexcept {
  if (this != &other) {
    remove();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

void OwnedTempDir::remove() noexcept {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  path_.clear();
}

}  // namespace kestro
