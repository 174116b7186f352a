// The projects the resolvers yield: one of the combined resolver's kinds,
// and a pair of resolvers asked in priority order. Both answer every
// operation by the kind they hold and tag a failure with it.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "kestro/project/local_kpar.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/project/memory.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/remote/index_entry.hpp"
#include "kestro/resolve/composite_error.hpp"
#include "kestro/resolve/source_project.hpp"

namespace kestro::resolve {

// An index entry project, shared: the environment's copy of an index version
// keeps it as its origin.
using IndexEntryHandle = std::shared_ptr<const IndexEntryProject>;

class CombinedProject : public ReadProject<CombinedProjectError> {
 public:
  // A source directory or KPAR found by the file resolver.
  struct FileProject {
    using error_tag = CombinedProjectError::FileProject;
    LocalPathProject project;
  };
  struct RemoteProject {
    using error_tag = CombinedProjectError::RemoteProject;
    HttpOrGitProject project;
  };
  // One listed version of an index.
  struct IndexProject {
    using error_tag = CombinedProjectError::IndexProject;
    IndexEntryHandle project;
  };
  // The environment's copy of a remote candidate: read from `project`, its
  // lock sources those of `remote`.
  struct CachedRemoteProject {
    using error_tag = CombinedProjectError::CachedRemoteProject;
    using origin_error_tag = CombinedProjectError::CachedRemoteOrigin;
    LocalSrcProject project;
    HttpOrGitProject remote;
    const HttpOrGitProject& origin() const { return remote; }
  };
  // The environment's copy of an index version: read from `project`, its
  // lock sources those of `index`.
  struct CachedIndexProject {
    using error_tag = CombinedProjectError::CachedIndexProject;
    using origin_error_tag = CombinedProjectError::CachedIndexOrigin;
    LocalSrcProject project;
    IndexEntryHandle index;
    const IndexEntryProject& origin() const { return *index; }
  };
  // A project found in the local environment only.
  struct DanglingLocalProject {
    using error_tag = CombinedProjectError::DanglingLocalProject;
    LocalSrcProject project;
  };
  using Kind = std::variant<FileProject, RemoteProject, IndexProject, CachedRemoteProject, CachedIndexProject,
                            DanglingLocalProject>;

  explicit CombinedProject(Kind held) : kind(std::move(held)) {}
  Kind kind;

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // A cached kind gives its origin's sources; their failure is the kind's
  // origin variant (CachedRemoteOrigin, CachedIndexOrigin) with the origin's
  // error.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  // The probe of the project each kind is read from.
  bool is_known_unusable() const override;
  // As the kind read answers them: an index version from its list entry,
  // with no request.
  Result<std::optional<std::string>> version() const override;
  Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> usage() const override;
  Result<EnvProjectChecksum> checksum_hex() const override;
};

// The entry as the combined resolver's index candidate.
IndexEntryHandle index_candidate(IndexEntryProject project);

// A project held directly or through a shared reference.
template <typename P>
const P& held_project(const P& project) {
  return project;
}
template <typename P>
const P& held_project(const std::shared_ptr<const P>& project) {
  return *project;
}
template <typename P>
using held_project_t = std::remove_cvref_t<decltype(held_project(std::declval<const P&>()))>;

// A project of the higher-priority resolver (`H`) or of the lower one (`L`),
// each held directly or as std::shared_ptr<const ...>.
template <typename H, typename L>
class PriorityProject
    : public ReadProject<PriorityError<typename held_project_t<H>::error_type, typename held_project_t<L>::error_type>> {
 public:
  using error_type = PriorityError<typename held_project_t<H>::error_type, typename held_project_t<L>::error_type>;
  template <typename T>
  using Result = std::expected<T, error_type>;
  struct Higher {
    using error_tag = typename error_type::Higher;
    H project;
  };
  struct Lower {
    using error_tag = typename error_type::Lower;
    L project;
  };
  using Kind = std::variant<Higher, Lower>;

  explicit PriorityProject(Kind held) : kind(std::move(held)) {}
  Kind kind;

  Result<ProjectRecords> get_project() const override {
    return on_held([](const auto& p) { return p.get_project(); });
  }
  Result<SourceReaderPtr> read_source(std::string_view path) const override {
    return on_held([&](const auto& p) { return p.read_source(path); });
  }
  Result<std::vector<Source>> sources(const ProjectContext& context) const override {
    return on_held([&](const auto& p) { return p.sources(context); });
  }
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override {
    return on_held([](const auto& p) { return p.get_info(); });
  }
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override {
    return on_held([](const auto& p) { return p.get_meta(); });
  }
  // As the held kind answers them (an index version from its list entry).
  Result<std::optional<std::string>> version() const override {
    return on_held([](const auto& p) { return p.version(); });
  }
  Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> usage() const override {
    return on_held([](const auto& p) { return p.usage(); });
  }
  bool is_known_unusable() const override {
    return std::visit([](const auto& k) { return held_project(k.project).is_known_unusable(); }, kind);
  }
  Result<EnvProjectChecksum> checksum_hex() const override {
    return on_held([](const auto& p) { return p.checksum_hex(); });
  }

 private:
  template <typename Op>
  auto on_held(Op&& op) const {
    return dispatch_tagged<error_type>(kind, [&](const auto& k) { return op(held_project(k.project)); });
  }
};

// The root directory of the project when it is read from a local source
// directory in place; none otherwise (the cached kinds included, although
// they are read from a local copy).
std::optional<std::string> local_project_root(const SourceProject& project);
std::optional<std::string> local_project_root(const InMemoryProject& project);
std::optional<std::string> local_project_root(const CombinedProject& project);
template <typename H, typename L>
std::optional<std::string> local_project_root(const PriorityProject<H, L>& project) {
  return std::visit([](const auto& k) { return local_project_root(held_project(k.project)); }, project.kind);
}

}  // namespace kestro::resolve
