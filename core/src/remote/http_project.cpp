// Dispatch of the HTTP resolver's candidates to the kind they hold.
#include "kestro/remote/http_project.hpp"

namespace kestro::remote {

namespace {

template <typename Op>
auto on_project(const HttpProject::Kind& kind, Op&& op) {
  return dispatch_tagged<HttpProjectError>(kind, [&](const auto& k) { return op(k.project); });
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
  using CE = CanonicalizationError<HttpProjectError>;
  return std::visit(
      [](const auto& k) -> std::expected<std::optional<std::string>, CE> {
        using Tag = typename std::remove_cvref_t<decltype(k)>::error_tag;
        auto result = k.project.checksum_canonical_hex();
        if (result) return std::move(*result);
        auto& err = result.error();
        if (err.kind() == std::remove_cvref_t<decltype(err)>::Kind::FileRead)
          return std::unexpected(CE::file_read(err.path(), err.io()));
        return std::unexpected(CE::project_read(HttpProjectError(Tag{err.project_error()})));
      },
      kind);
}

HttpProject::Result<EnvProjectChecksum> HttpProject::checksum_hex() const {
  return on_project(kind, [](const auto& p) { return p.checksum_hex(); });
}

}  // namespace kestro::remote
