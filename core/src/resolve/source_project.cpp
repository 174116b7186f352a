// Dispatch of the configured-source and remote-candidate sums.
#include "kestro/resolve/source_project.hpp"

#include "kestro/resolve/combined_project.hpp"

namespace kestro::resolve {

namespace {

// Every kind of these sums holds its project as `project`, directly or
// through a shared reference.
template <typename E, typename Kinds, typename Op>
auto on_project(const Kinds& kinds, Op&& op) {
  return dispatch_tagged<E>(kinds, [&](const auto& kind) { return op(held_project(kind.project)); });
}

}  // namespace

SourceProject::Result<ProjectRecords> SourceProject::get_project() const {
  return on_project<SourceProjectError>(kind, [](const auto& p) { return p.get_project(); });
}

SourceProject::Result<SourceReaderPtr> SourceProject::read_source(std::string_view path) const {
  return on_project<SourceProjectError>(kind, [&](const auto& p) { return p.read_source(path); });
}

SourceProject::Result<std::vector<Source>> SourceProject::sources(const ProjectContext& context) const {
  return dispatch_tagged<SourceProjectError>(kind, [&](const auto& k) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(k)>, Editable>) {
      std::vector<Source> list{EditableSource{k.editable_path}};
      if (!k.include_project_sources) return LocalSrcProject::Result<std::vector<Source>>(std::move(list));
      auto own = k.project.sources(context);
      if (!own) return own;
      list.insert(list.end(), std::make_move_iterator(own->begin()), std::make_move_iterator(own->end()));
      return LocalSrcProject::Result<std::vector<Source>>(std::move(list));
    } else {
      return k.project.sources(context);
    }
  });
}

SourceProject::Result<EnvProjectChecksum> SourceProject::checksum_hex() const {
  return on_project<SourceProjectError>(kind, [](const auto& p) { return p.checksum_hex(); });
}

HttpOrGitProject::Result<ProjectRecords> HttpOrGitProject::get_project() const {
  return on_project<HttpOrGitProjectError>(kind, [](const auto& p) { return p.get_project(); });
}

HttpOrGitProject::Result<SourceReaderPtr> HttpOrGitProject::read_source(std::string_view path) const {
  return on_project<HttpOrGitProjectError>(kind, [&](const auto& p) { return p.read_source(path); });
}

HttpOrGitProject::Result<std::vector<Source>> HttpOrGitProject::sources(const ProjectContext& context) const {
  return on_project<HttpOrGitProjectError>(kind, [&](const auto& p) { return p.sources(context); });
}

HttpOrGitProject::Result<std::optional<InterchangeProjectInfoRaw>> HttpOrGitProject::get_info() const {
  return on_project<HttpOrGitProjectError>(kind, [](const auto& p) { return p.get_info(); });
}

HttpOrGitProject::Result<std::optional<InterchangeProjectMetadataRaw>> HttpOrGitProject::get_meta() const {
  return on_project<HttpOrGitProjectError>(kind, [](const auto& p) { return p.get_meta(); });
}

bool HttpOrGitProject::is_known_unusable() const {
  return std::visit([](const auto& k) { return held_project(k.project).is_known_unusable(); }, kind);
}

std::expected<std::optional<std::string>, CanonicalizationError<HttpOrGitProjectError>>
HttpOrGitProject::checksum_canonical_hex() const {
  return dispatch_canonical<HttpOrGitProjectError>(kind, [](const auto& k) -> decltype(auto) {
    return held_project(k.project);
  });
}

HttpOrGitProject::Result<EnvProjectChecksum> HttpOrGitProject::checksum_hex() const {
  return on_project<HttpOrGitProjectError>(kind, [](const auto& p) { return p.checksum_hex(); });
}

HttpOrGitProject remote_candidate(HttpProject project) {
  return HttpOrGitProject(HttpOrGitProject::Http{std::make_shared<const HttpProject>(std::move(project))});
}

const HttpProjectError* http_error_of(const HttpOrGitProjectError& err) {
  const auto* http = err.get_if<HttpOrGitProjectError::HTTPRead>();
  return http ? &http->err : nullptr;
}

}  // namespace kestro::resolve
