// The project behind one configured source, and the remote candidate of the
// combined resolver: sums of project kinds that answer every operation by
// the kind they hold, tagging failures with that kind.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/project/local_kpar.hpp"
#include "kestro/project/local_src.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/remote/http_project.hpp"
#include "kestro/remote/remote_git.hpp"
#include "kestro/resolve/composite_error.hpp"

namespace kestro::resolve {

class SourceProject : public ReadProject<SourceProjectError> {
 public:
  // A directory used in place, written as an `editable` source.
  struct Editable {
    using error_tag = SourceProjectError::Editable;
    LocalSrcProject project;
    std::string editable_path;
    // Whether the directory's own sources follow the `editable` one.
    bool include_project_sources = false;
  };
  struct LocalSrc {
    using error_tag = SourceProjectError::LocalSrc;
    LocalSrcProject project;
  };
  struct LocalKpar {
    using error_tag = SourceProjectError::LocalKpar;
    LocalKparProject project;
  };
  struct RemoteGit {
    using error_tag = SourceProjectError::RemoteGit;
    RemoteGitProject project;
  };
  // The remote kinds (a source tree or a KPAR at a URL, an index's KPAR)
  // join between LocalKpar and RemoteGit.
  using Kind = std::variant<Editable, LocalSrc, LocalKpar, RemoteGit>;

  explicit SourceProject(Kind held) : kind(std::move(held)) {}
  Kind kind;

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // Editable: the `editable` source, then (when asked for) the directory's
  // own sources; a git repository's source needs no clone.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<EnvProjectChecksum> checksum_hex() const override;
};

class HttpOrGitProject : public ReadProject<HttpOrGitProjectError> {
 public:
  // A project read over HTTP (a source tree or an archive at a URL), shared:
  // the environment's copy of a candidate keeps it as its origin.
  struct Http {
    using error_tag = HttpOrGitProjectError::HTTPRead;
    std::shared_ptr<const HttpProject> project;
  };
  struct Git {
    using error_tag = HttpOrGitProjectError::GitRead;
    RemoteGitProject project;
  };
  using Kind = std::variant<Http, Git>;

  explicit HttpOrGitProject(Kind held) : kind(std::move(held)) {}
  Kind kind;

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  bool is_known_unusable() const override;
  // As the held kind computes it (an HTTP source tree requests no file when
  // a record is absent).
  std::expected<std::optional<std::string>, CanonicalizationError<HttpOrGitProjectError>> checksum_canonical_hex()
      const override;
  Result<EnvProjectChecksum> checksum_hex() const override;
};

// The HTTP project as the remote candidate of the combined resolver.
HttpOrGitProject remote_candidate(HttpProject project);
// The HTTP project's error inside a remote candidate's error; none for a git
// error.
const HttpProjectError* http_error_of(const HttpOrGitProjectError& err);

}  // namespace kestro::resolve
