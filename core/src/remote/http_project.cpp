// Dispatch of the HTTP resolver's candidates to the kind they hold.
#include "kestro/remote/http_project.hpp"

#include <memory>

#include "kestro/utils/log.hpp"

namespace kestro::remote {

namespace {

// The project a kind holds: the source tree in place, the archive behind
// its pointer.
const RemoteSrcProject& held(const HttpProject::Src& k) { return k.project; }
const RemoteKparProject& held(const HttpProject::Kpar& k) { return *k.project; }

template <typename Op>
auto on_project(const HttpProject::Kind& kind, Op&& op) {
  return dispatch_tagged<HttpProjectError>(kind, [&](const auto& k) { return op(held(k)); });
}

}  // namespace

HttpProject::Result<ProjectRecords> HttpProject::get_project() const {
  return on_project(kind, [](const auto& p) { return p.get_project(); });
}

HttpProject::Result<SourceReaderPtr> HttpProject::read_source(std::string_view path) const {
  return on_project(kind, [&](const auto& p) { return p.read_source(path); });
}

HttpProject::Result<std::vector<Source>> HttpProject::sources(const ProjectContext& context) const {
  return on_project(kind, [&](const auto& p) { return p.sources(context); });
}

HttpProject::Result<std::optional<InterchangeProjectInfoRaw>> HttpProject::get_info() const {
  return on_project(kind, [](const auto& p) { return p.get_info(); });
}

HttpProject::Result<std::optional<InterchangeProjectMetadataRaw>> HttpProject::get_meta() const {
  return on_project(kind, [](const auto& p) { return p.get_meta(); });
}

std::expected<std::optional<std::string>, CanonicalizationError<HttpProjectError>>
HttpProject::checksum_canonical_hex() const {
  return dispatch_canonical<HttpProjectError>(kind, [](const auto& k) -> decltype(auto) { return held(k); });
}

HttpProject::Result<EnvProjectChecksum> HttpProject::checksum_hex() const {
  return on_project(kind, [](const auto& p) { return p.checksum_hex(); });
}

bool HttpProject::read_info_meta() const {
  if (const auto* src = std::get_if<Src>(&kind)) return src->project.records_missing();
  auto downloaded = std::get<Kpar>(kind).project->ensure_downloaded();
  if (!downloaded && log::enabled(log::Level::Debug, kKparDownloadTarget))
    log::debug(kKparDownloadTarget, "error downloading/reading a kpar: {}", render_error_chain(downloaded.error()));
  return false;
}

namespace {

// The HTTP project behind the interface the remote candidate holds; each
// failure is the HTTP project's error, held whole.
class HeldHttpProject : public ReadProject<HeldError> {
 public:
  explicit HeldHttpProject(HttpProject project) : project_(std::move(project)) {}

  Result<ProjectRecords> get_project() const override { return held(project_.get_project()); }
  Result<SourceReaderPtr> read_source(std::string_view path) const override {
    return held(project_.read_source(path));
  }
  Result<std::vector<Source>> sources(const ProjectContext& context) const override {
    return held(project_.sources(context));
  }
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override { return held(project_.get_info()); }
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override {
    return held(project_.get_meta());
  }
  std::expected<std::optional<std::string>, CanonicalizationError<HeldError>> checksum_canonical_hex()
      const override {
    using CE = CanonicalizationError<HeldError>;
    auto result = project_.checksum_canonical_hex();
    if (result) return std::move(*result);
    auto& err = result.error();
    if (err.kind() == CanonicalizationError<HttpProjectError>::Kind::FileRead)
      return std::unexpected(CE::file_read(err.path(), err.io()));
    return std::unexpected(CE::project_read(hold(err.project_error())));
  }
  Result<EnvProjectChecksum> checksum_hex() const override { return held(project_.checksum_hex()); }
  bool is_known_unusable() const override { return project_.is_known_unusable(); }

 private:
  static HeldError hold(HttpProjectError err) { return HeldError(make_error<HttpProjectError>(std::move(err))); }
  template <typename T>
  static Result<T> held(std::expected<T, HttpProjectError> result) {
    if (!result) return std::unexpected(hold(std::move(result.error())));
    return std::move(*result);
  }

  HttpProject project_;
};

}  // namespace

HttpOrGitProject remote_candidate(HttpProject project) {
  return HttpOrGitProject(HttpOrGitProject::Http{std::make_shared<const HeldHttpProject>(std::move(project))});
}

const HttpProjectError* http_error_of(const HttpOrGitProjectError& err) {
  const auto* http = err.get_if<HttpOrGitProjectError::HTTPRead>();
  return http ? dynamic_cast<const HttpProjectError*>(&http->err.inner()) : nullptr;
}

}  // namespace kestro::remote
