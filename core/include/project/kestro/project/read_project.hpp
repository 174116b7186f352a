// The one interface through which every stored project is read, wherever it
// lives. Each kind has its own error type `E`; readers of project files are
// SourceReader objects. Kinds read over the network implement the same
// synchronous interface (and keep the record test of the canonical checksum
// before the entries, see RecordCheck).
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kestro/project/env_checksum.hpp"
#include "kestro/project/lock_source.hpp"
#include "kestro/model/records.hpp"
#include "kestro/project/checksum.hpp"
#include "kestro/project/source_reader.hpp"

namespace kestro::project {

// The run's context handed to `sources`. Project storage reads only the two
// roots, both absolute directories when present.
struct ProjectContext {
  std::optional<std::filesystem::path> workspace_root;
  std::optional<std::filesystem::path> project_root;
};

// The information and metadata records as read; either may be absent.
using ProjectRecords =
    std::pair<std::optional<InterchangeProjectInfoRaw>, std::optional<InterchangeProjectMetadataRaw>>;

template <typename E>
class ReadProject {
 public:
  using error_type = E;
  template <typename T>
  using Result = std::expected<T, E>;

  virtual ~ReadProject() = default;

  // 1. Both records in one call; kinds with an expected name or publisher
  // check the information record here.
  virtual Result<ProjectRecords> get_project() const = 0;
  // 2. A reader over one file, named by its project-relative Unix path.
  virtual Result<SourceReaderPtr> read_source(std::string_view path) const = 0;
  // 3. The lock sources under which this project can be found again.
  virtual Result<std::vector<Source>> sources(const ProjectContext& context) const = 0;

  // 4. The information half of get_project.
  virtual Result<std::optional<InterchangeProjectInfoRaw>> get_info() const {
    auto records = get_project();
    if (!records) return std::unexpected(std::move(records.error()));
    return std::move(records->first);
  }
  // 5. The metadata half of get_project.
  virtual Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const {
    auto records = get_project();
    if (!records) return std::unexpected(std::move(records.error()));
    return std::move(records->second);
  }
  // 6. The version as written, absent with the information record.
  virtual Result<std::optional<std::string>> version() const {
    auto info = get_info();
    if (!info) return std::unexpected(std::move(info.error()));
    if (!*info) return std::optional<std::string>();
    return std::optional<std::string>(std::move((*info)->version));
  }
  // 7. The usages in file order, absent with the information record.
  virtual Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> usage() const {
    auto info = get_info();
    if (!info) return std::unexpected(std::move(info.error()));
    if (!*info) return std::optional<std::vector<InterchangeProjectUsageRaw>>();
    return std::optional<std::vector<InterchangeProjectUsageRaw>>(std::move((*info)->usage));
  }
  // 8. A cheap test that the project certainly cannot be read; false means
  // nothing.
  virtual bool is_known_unusable() const { return false; }
  // 9. The canonical checksum, absent when a record is absent.
  virtual std::expected<std::optional<std::string>, CanonicalizationError<E>> checksum_canonical_hex() const {
    return canonical_checksum_hex(*this);
  }
  // 10. The checksum under which an installed copy is recorded.
  virtual Result<EnvProjectChecksum> checksum_hex() const = 0;

 protected:
  ReadProject() = default;
  ReadProject(const ReadProject&) = default;
  ReadProject& operator=(const ReadProject&) = default;
  ReadProject(ReadProject&&) = default;
  ReadProject& operator=(ReadProject&&) = default;
};

}  // namespace kestro::project
