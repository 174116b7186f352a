// A candidate of the HTTP resolver: a project at a URL, read as a remote
// source tree (or, once that kind joins, as a downloaded KPAR). Every
// operation answers by the kind held and tags a failure with it.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <string_view>
#include <variant>
#include <vector>

#include "kestro/project/composite_error.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/project/source_project.hpp"
#include "kestro/remote/remote_src.hpp"

namespace kestro::remote {

// The downloaded KPAR's variant, `KparDownloaded`, joins after SrcProject.
struct HttpProjectVariants : TaggedShapes {
  using SrcProject = Tagged<"SrcProject", RemoteSrcError>;
  using Sum = std::variant<SrcProject>;
};
class HttpProjectError : public ErrorSum<HttpProjectError, HttpProjectVariants> {
 public:
  using ErrorSum::ErrorSum;
};

class HttpProject : public ReadProject<HttpProjectError> {
 public:
  struct Src {
    using error_tag = HttpProjectError::SrcProject;
    RemoteSrcProject project;
  };
  using Kind = std::variant<Src>;

  explicit HttpProject(Kind held) : kind(std::move(held)) {}
  Kind kind;

  Result<ProjectRecords> get_project() const override;
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  // The held kind's own computation (a source tree tests for its records
  // before it requests any file).
  std::expected<std::optional<std::string>, CanonicalizationError<HttpProjectError>> checksum_canonical_hex()
      const override;
  Result<EnvProjectChecksum> checksum_hex() const override;
};

// The HTTP project as the remote candidate of the combined resolver.
HttpOrGitProject remote_candidate(HttpProject project);
// The HTTP project's error inside a remote candidate's error; none for a git
// error.
const HttpProjectError* http_error_of(const HttpOrGitProjectError& err);

}  // namespace kestro::remote
