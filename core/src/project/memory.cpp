#include "kestro/project/memory.hpp"

namespace kestro::project {

InMemoryProject::Result<ProjectRecords> InMemoryProject::get_project() const { return ProjectRecords{info, meta}; }

InMemoryProject::Result<SourceReaderPtr> InMemoryProject::read_source(std::string_view path) const {
  auto it = files.find(path);
  if (it == files.end()) return std::unexpected(InMemoryProjectError::FileNotFound{std::string(path)});
  return SourceReaderPtr(std::make_unique<BytesSourceReader>(it->second));
}

InMemoryProject::Result<std::vector<Source>> InMemoryProject::sources(const ProjectContext&) const {
  return lock_sources;
}

InMemoryProject::Result<EnvProjectChecksum> InMemoryProject::checksum_hex() const {
  // Reading held bytes cannot fail part way, so only the project's own
  // errors (FileNotFound) and MissingInfoMeta come back.
  return source_checksum(checksum_canonical_hex());
}

}  // namespace kestro::project
