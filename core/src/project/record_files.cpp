// Writing the two record files of a source project.
#include <sys/stat.h>

#include "kestro/project/local_src.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro {

namespace {

std::expected<void, LocalSrcError> write_record_file(const std::filesystem::path& target, const std::string& text,
                                                     bool overwrite, const char* exists_text) {
  struct stat st;
  if (!overwrite && ::stat(target.c_str(), &st) == 0) return std::unexpected(ProjectError::already_exists(exists_text));
  // An existing directory cannot be replaced by a file: report it as the
  // failure to create the file, as opening it for writing would.
  if (::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    return std::unexpected(ProjectError::io(FsIoError(FsIoError::Kind::CreateFile, target, IoError::from_errno(EISDIR))));
  if (auto w = write_file_atomic(target, text); !w) return std::unexpected(ProjectError::io(std::move(w.error())));
  return {};
}

}  // namespace

std::expected<void, LocalSrcError> write_project_info(const LocalSrcProject& project,
                                                      const InterchangeProjectInfoRaw& info, bool overwrite) {
  return write_record_file(project.info_path(), to_pretty_json(info), overwrite, "`.project.json` already exists");
}

std::expected<void, LocalSrcError> write_project_meta(const LocalSrcProject& project,
                                                      const InterchangeProjectMetadataRaw& meta, bool overwrite) {
  return write_record_file(project.meta_path(), to_pretty_json(meta), overwrite, "'.meta.json' already exists");
}

}  // namespace kestro
