#include "index_files.hpp"

#include <sys/stat.h>

#include "kestro/commands/local_index.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro::commands {

std::expected<bool, FsIoError> is_index_root(const std::filesystem::path& root) {
  auto st = stat_file(root);
  if (!st) {
    if (st.error().is_not_found()) return false;
    return std::unexpected(FsIoError::IsDir{root, std::move(st.error())});
  }
  return S_ISDIR(st->st_mode);
}

std::expected<void, FsIoError> rewrite_open_file(const std::filesystem::path& path, std::string_view text) {
  auto written = write_file_atomic(path, text);
  if (written) return {};
  // Failing to make the temporary beside the file is a failed write of the
  // file all the same.
  return std::unexpected(FsIoError::WriteFile{path, written.error().io()});
}

}  // namespace kestro::commands
