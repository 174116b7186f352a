// The read and write operations of a project stored as a directory tree.
#include "kestro/project/local_src.hpp"

#include <fcntl.h>

#include <system_error>

#include <fmt/format.h>

#include "kestro/project/blocking.hpp"
#include "kestro/project/paths.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro::project {

std::expected<std::filesystem::path, PathCheckError> LocalSrcProject::get_source_path(std::string_view path) const {
  return kestro::project::get_source_path(project_path, path);
}

std::expected<std::string, RelativizeError> lock_source_path(const std::optional<std::string>& nominal,
                                                             const std::filesystem::path& path,
                                                             const ProjectContext& context, std::string_view kind) {
  if (nominal) return *nominal;
  const auto& base = context.workspace_root ? context.workspace_root : context.project_root;
  if (!base) internal_error(fmt::format("`{}` without `nominal_path` does not have any project sources", kind));
  return relativize_path(path, *base);
}

LocalSrcProject::Result<ProjectRecords> LocalSrcProject::get_project() const { return read_local_src_project(*this); }

LocalSrcProject::Result<SourceReaderPtr> LocalSrcProject::read_source(std::string_view path) const {
  auto resolved = get_source_path(path);
  if (!resolved) return std::unexpected(LocalSrcError::Path{std::move(resolved.error())});
  auto reader = FileSourceReader::open(*resolved);
  if (!reader) return std::unexpected(LocalSrcError::Io{std::move(reader.error())});
  return SourceReaderPtr(std::move(*reader));
}

std::expected<void, LocalSrcError> LocalSrcProject::write_source(std::string_view path, SourceReader& reader) const {
  auto resolved = get_source_path(path);
  if (!resolved) return std::unexpected(LocalSrcError::Path{std::move(resolved.error())});
  if (resolved->has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(resolved->parent_path(), ec);
    if (ec)
      return std::unexpected(
          LocalSrcError::Io{FsIoError::MkDir{resolved->parent_path(), IoError::from_errno(ec.value())}});
  }
  auto file = open_fd(*resolved, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (!file) return std::unexpected(LocalSrcError::Io{FsIoError::CreateFile{*resolved, std::move(file.error())}});
  // Every failure of the copy, reading included, is a failed write of the target.
  if (auto copied = copy_source(reader, file->get()); !copied)
    return std::unexpected(LocalSrcError::Io{FsIoError::WriteFile{*resolved, std::move(copied.error())}});
  return {};
}

LocalSrcProject::Result<std::vector<Source>> LocalSrcProject::sources(const ProjectContext& context) const {
  std::string checksum;
  if (known_checksum) {
    checksum = *known_checksum;
  } else {
    auto computed = source_checksum(checksum_canonical_hex());
    if (!computed) return std::unexpected(std::move(computed.error()));
    checksum = std::move(computed->hex);
  }
  auto src_path = lock_source_path(nominal_path, project_path, context, "LocalSrcProject");
  if (!src_path) return std::unexpected(LocalSrcError::ImpossibleRelativePath{std::move(src_path.error())});
  return std::vector<Source>{LocalSrcSource{std::move(*src_path), std::move(checksum)}};
}

std::expected<std::optional<std::string>, CanonicalizationError<LocalSrcError>> LocalSrcProject::checksum_canonical_hex()
    const {
  auto records = get_project();
  if (!records) return std::unexpected(CanonicalizationError<LocalSrcError>::project_read(std::move(records.error())));
  return canonical_checksum_of_records(*this, records->first, std::move(records->second));
}

LocalSrcProject::Result<EnvProjectChecksum> LocalSrcProject::checksum_hex() const {
  return source_checksum(checksum_canonical_hex());
}

}  // namespace kestro::project
