#include "kestro/commands/kpar_archive.hpp"

#include <fcntl.h>

#include "kestro/project/kpar_records.hpp"
#include "kestro/project/local_kpar.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro::commands {

std::expected<KparArchive, LocalKparError> open_kpar_archive(const std::filesystem::path& kpar_path) {
  using Fail = std::unexpected<LocalKparError>;
  auto fd = open_fd(kpar_path, O_RDONLY);
  if (!fd) return Fail(LocalKparError::Io{FsIoError::OpenFile{kpar_path, fd.error()}});
  auto archive = read_kpar_archive(std::move(*fd), kpar_path);
  if (!archive) return Fail(std::move(archive.error()));
  auto project_dir = find_kpar_project_root(*archive);
  if (!project_dir) return Fail(std::move(project_dir.error()));
  auto work_dir = OwnedTempDir::create();
  if (!work_dir) return Fail(LocalKparError::Io{std::move(work_dir.error())});
  return KparArchive{std::move(*archive), std::move(*project_dir), std::move(*work_dir)};
}

}  // namespace kestro::commands
