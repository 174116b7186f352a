// Reading and writing the two record files of a source project.
#include <sys/stat.h>

#include <cerrno>

#include <fmt/format.h>

#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro::project {

namespace {

// The texts of one record document: the refusal of an existing document that
// may not be replaced, and what a failed write was doing.
struct RecordDocument {
  const char* exists_text;
  const char* serialize_context;
};

constexpr RecordDocument kInfoDocument{"`.project.json` already exists", "failed to serialize and write project info to"};
constexpr RecordDocument kMetaDocument{"'.meta.json' already exists", "failed to serialize and write project metadata to"};

// The file is replaced whole through a temporary and a rename; without
// `overwrite` the rename itself refuses an existing document, so no check
// can go stale before it. A failure to write the text is the serialization
// failure naming the target.
std::expected<void, LocalSrcError> write_record_file(const std::filesystem::path& target, const std::string& text,
                                                     bool overwrite, const RecordDocument& document) {
  auto written = write_file_atomic(target, text, overwrite ? ExistingFile::Replace : ExistingFile::Keep);
  if (written) return {};
  FsIoError& error = written.error();
  if (!overwrite && error.holds<FsIoError::CreateFile>() && error.io().code() == EEXIST)
    return std::unexpected(LocalSrcError::AlreadyExists{document.exists_text});
  if (error.holds<FsIoError::WriteFile>())
    return std::unexpected(LocalSrcError::Serialize{
        fmt::format("{} `{}`", document.serialize_context, display_path(target)), error.io()});
  return std::unexpected(LocalSrcError::Io{std::move(error)});
}

// Reads one record document: none when its metadata query fails (absent,
// unsearchable directory, dangling link), else the parsed record.
template <typename T, typename Parse>
std::expected<std::optional<T>, LocalSrcError> read_record_file(const std::filesystem::path& path, const char* name,
                                                                Parse&& parse) {
  struct stat st;
  if (!stat_path(path, st)) return std::optional<T>();
  // Neither a FIFO nor a device (a link to /dev/zero) is a record: the
  // opening does not wait and the size is bounded.
  auto fd = open_for_reading(path, kMaxDocumentFileSize);
  if (!fd) return std::unexpected(LocalSrcError::Io{std::move(fd.error())});
  auto content = read_fd(fd->get(), kMaxDocumentFileSize);
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
  return write_record_file(project.info_path(), to_pretty_json(info), overwrite, kInfoDocument);
}

std::expected<void, LocalSrcError> write_project_meta(const LocalSrcProject& project,
                                                      const InterchangeProjectMetadataRaw& meta, bool overwrite) {
  return write_record_file(project.meta_path(), to_pretty_json(meta), overwrite, kMetaDocument);
}

}  // namespace kestro::project
