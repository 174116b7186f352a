// Reading and writing the two record files of a source project.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro {

namespace {

std::expected<void, LocalSrcError> write_record_file(const std::filesystem::path& target, const std::string& text,
                                                     bool overwrite, const char* exists_text) {
  struct stat st;
  bool exists = stat_path(target, st);
  if (!overwrite && exists) return std::unexpected(LocalSrcError::AlreadyExists{exists_text});
  // An existing directory cannot be replaced by a file: report it as the
  // failure to create the file, as opening it for writing would.
  if (exists && S_ISDIR(st.st_mode))
    return std::unexpected(LocalSrcError::Io{FsIoError::CreateFile{target, IoError::from_errno(EISDIR)}});
  if (auto w = write_file_atomic(target, text); !w) return std::unexpected(LocalSrcError::Io{std::move(w.error())});
  return {};
}

// Reads one record document: none when its metadata query fails (absent,
// unsearchable directory, dangling link), else the parsed record.
template <typename T, typename Parse>
std::expected<std::optional<T>, LocalSrcError> read_record_file(const std::filesystem::path& path, const char* name,
                                                                Parse&& parse) {
  struct stat st;
  if (!stat_path(path, st)) return std::optional<T>();
  auto fd = open_fd(path, O_RDONLY);
  if (!fd) return std::unexpected(LocalSrcError::Io{FsIoError::OpenFile{path, fd.error()}});
  auto content = read_fd(*fd);
  ::close(*fd);
  if (!content) return std::unexpected(LocalSrcError::Deserialize{name, json::JsonError(content.error().message())});
  auto record = parse(*content);
  if (!record) return std::unexpected(LocalSrcError::Deserialize{name, std::move(record.error())});
  return std::optional<T>(std::move(*record));
}

}  // namespace

std::filesystem::path project_info_path(const std::filesystem::path& dir) { return dir / ".project.json"; }

std::expected<std::pair<std::optional<InterchangeProjectInfoRaw>, std::optional<InterchangeProjectMetadataRaw>>,
              LocalSrcError>
read_local_src_project(const LocalSrcProject& project) {
  auto info = read_record_file<InterchangeProjectInfoRaw>(project.info_path(), ".project.json", parse_project_info);
  if (!info) return std::unexpected(std::move(info.error()));
  if (*info) {
    const auto& record = **info;
    if (project.expected_publisher && *project.expected_publisher != record.publisher)
      return std::unexpected(LocalSrcError::PublisherMismatch{*project.expected_publisher, record.publisher});
    if (project.expected_name && *project.expected_name != record.name)
      return std::unexpected(LocalSrcError::NameMismatch{*project.expected_name, record.name});
  }
  auto meta = read_record_file<InterchangeProjectMetadataRaw>(project.meta_path(), ".meta.json", parse_project_meta);
  if (!meta) return std::unexpected(std::move(meta.error()));
  return std::pair{std::move(*info), std::move(*meta)};
}

std::expected<void, LocalSrcError> write_project_info(const LocalSrcProject& project,
                                                      const InterchangeProjectInfoRaw& info, bool overwrite) {
  return write_record_file(project.info_path(), to_pretty_json(info), overwrite, "`.project.json` already exists");
}

std::expected<void, LocalSrcError> write_project_meta(const LocalSrcProject& project,
                                                      const InterchangeProjectMetadataRaw& meta, bool overwrite) {
  return write_record_file(project.meta_path(), to_pretty_json(meta), overwrite, "'.meta.json' already exists");
}

}  // namespace kestro
