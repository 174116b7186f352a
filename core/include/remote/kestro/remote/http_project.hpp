// A candidate of the HTTP resolver: a project at a URL, read as a remote
// source tree or as a downloaded KPAR. Every operation answers by the kind
// held and tags a failure with it; the tag adds no text.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/project/read_project.hpp"
#include "kestro/project/tagged_error.hpp"
#include "kestro/remote/kpar_download.hpp"
#include "kestro/remote/remote_src.hpp"

namespace kestro::remote {

struct HttpProjectVariants : TaggedShapes {
  using SrcProject = Tagged<"SrcProject", RemoteSrcError>;
  using KparDownloaded = Tagged<"KparDownloaded", RemoteKparError>;
  using Sum = std::variant<SrcProject, KparDownloaded>;
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
  // Behind an owning pointer: the download cell makes the archive kind much
  // larger than the source tree.
  struct Kpar {
    using error_tag = HttpProjectError::KparDownloaded;
    std::unique_ptr<const RemoteKparProject> project;
  };
  using Kind = std::variant<Src, Kpar>;

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

  // Whether the candidate is certainly not there, tested before its records
  // are read. A source tree: both record requests are sent together, and an
  // error or a status outside 2xx on either means unusable; no body is read.
  // An archive: it is downloaded (and kept for every later operation); a
  // failure is logged at debug level and the answer is still false, so the
  // failure shows again, and the download is tried again, on the next read.
  bool read_info_meta() const;
  bool is_known_unusable() const override { return read_info_meta(); }
};

}  // namespace kestro::remote
