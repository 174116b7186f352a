// Dispatch of the combined resolver's project kinds.
#include "kestro/resolve/combined_project.hpp"

#include <type_traits>

namespace kestro::resolve {

namespace {

// The project each kind is read from: for the cached kinds, the local copy.
template <typename Op>
auto on_read(const CombinedProject::Kind& kind, Op&& op) {
  return dispatch_tagged<CombinedProjectError>(kind, [&](const auto& k) { return op(held_project(k.project)); });
}

std::string root_text(const LocalSrcProject& project) { return project.project_path.string(); }

}  // namespace

CombinedProject::Result<ProjectRecords> CombinedProject::get_project() const {
  return on_read(kind, [](const auto& p) { return p.get_project(); });
}

CombinedProject::Result<SourceReaderPtr> CombinedProject::read_source(std::string_view path) const {
  return on_read(kind, [&](const auto& p) { return p.read_source(path); });
}

CombinedProject::Result<std::optional<InterchangeProjectInfoRaw>> CombinedProject::get_info() const {
  return on_read(kind, [](const auto& p) { return p.get_info(); });
}

CombinedProject::Result<std::optional<InterchangeProjectMetadataRaw>> CombinedProject::get_meta() const {
  return on_read(kind, [](const auto& p) { return p.get_meta(); });
}

bool CombinedProject::is_known_unusable() const {
  return std::visit([](const auto& k) { return held_project(k.project).is_known_unusable(); }, kind);
}

CombinedProject::Result<std::optional<std::string>> CombinedProject::version() const {
  return on_read(kind, [](const auto& p) { return p.version(); });
}

CombinedProject::Result<std::optional<std::vector<InterchangeProjectUsageRaw>>> CombinedProject::usage() const {
  return on_read(kind, [](const auto& p) { return p.usage(); });
}

CombinedProject::Result<EnvProjectChecksum> CombinedProject::checksum_hex() const {
  return on_read(kind, [](const auto& p) { return p.checksum_hex(); });
}

CombinedProject::Result<std::vector<Source>> CombinedProject::sources(const ProjectContext& context) const {
  return std::visit(
      [&](const auto& k) -> Result<std::vector<Source>> {
        using K = std::remove_cvref_t<decltype(k)>;
        if constexpr (requires { typename K::origin_error_tag; }) {
          auto origin = k.origin().sources(context);
          if (!origin)
            return std::unexpected(CombinedProjectError(typename K::origin_error_tag{std::move(origin.error())}));
          return std::move(*origin);
        } else {
          return on_read(kind, [&](const auto& p) { return p.sources(context); });
        }
      },
      kind);
}

std::optional<std::string> local_project_root(const SourceProject& project) {
  if (const auto* editable = std::get_if<SourceProject::Editable>(&project.kind)) return root_text(editable->project);
  if (const auto* src = std::get_if<SourceProject::LocalSrc>(&project.kind)) return root_text(src->project);
  return std::nullopt;
}

std::optional<std::string> local_project_root(const InMemoryProject&) { return std::nullopt; }

std::optional<std::string> local_project_root(const CombinedProject& project) {
  if (const auto* file = std::get_if<CombinedProject::FileProject>(&project.kind))
    if (const auto* src = file->project.src()) return root_text(*src);
  if (const auto* dangling = std::get_if<CombinedProject::DanglingLocalProject>(&project.kind))
    return root_text(dangling->project);
  return std::nullopt;
}

IndexEntryHandle index_candidate(IndexEntryProject project) {
  return std::make_shared<const IndexEntryProject>(std::move(project));
}

}  // namespace kestro::resolve
