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

}  // namespace kestro::remote
