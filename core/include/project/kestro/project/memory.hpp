// A project whose records, files and lock sources are all held in memory
// (the standard libraries, projects offered by a memory resolver). Its
// operations never touch the file system, and it never changes after
// creation, so any number of threads may read it at once.
#pragma once

#include "kestro/project/namespace.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kestro/project/paths.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/read_project.hpp"

namespace kestro::project {

// Project-relative Unix path to the file's bytes; `a/b`, `a//b` and `a/./b`
// name one entry.
using InMemoryFiles = std::map<std::string, std::string, PathComponentLess>;

class InMemoryProject : public ReadProject<InMemoryProjectError> {
 public:
  InMemoryProject() = default;
  InMemoryProject(std::vector<Source> sources_in_order, std::optional<InterchangeProjectInfoRaw> info_record,
                  std::optional<InterchangeProjectMetadataRaw> meta_record, InMemoryFiles project_files = {})
      : lock_sources(std::move(sources_in_order)),
        info(std::move(info_record)),
        meta(std::move(meta_record)),
        files(std::move(project_files)) {}

  // What `sources` returns, in this order.
  std::vector<Source> lock_sources;
  std::optional<InterchangeProjectInfoRaw> info;
  std::optional<InterchangeProjectMetadataRaw> meta;
  InMemoryFiles files;

  // Copies of both records; never fails.
  Result<ProjectRecords> get_project() const override;
  // A reader over a copy of the file's bytes; FileNotFound for a path that
  // names no file.
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // A copy of `lock_sources`; the context is not consulted.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  // The canonical checksum as a source checksum; MissingInfoMeta when a
  // record is absent (tested after the entries).
  Result<EnvProjectChecksum> checksum_hex() const override;
};

}  // namespace kestro::project
