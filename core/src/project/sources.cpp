#include "kestro/project/sources.hpp"

#include <set>
#include <string_view>

#include "kestro/model/validation.hpp"
#include "kestro/project/paths.hpp"

namespace kestro::project {

std::expected<std::vector<std::filesystem::path>, ProjectSourcesError> list_project_sources(
    const LocalSrcProject& project) {
  auto records = project.get_project();
  if (!records) return std::unexpected(ProjectSourcesError::Project{std::move(records.error())});
  const auto& meta = records->second;
  if (!meta) return std::vector<std::filesystem::path>{};
  auto valid = validate_project_meta(*meta);
  if (!valid)
    return std::unexpected(
        ProjectSourcesError::Validation{"meta", std::move(valid.error())});

  std::vector<std::string_view> listed;
  std::set<std::string_view, PathComponentLess> seen;
  auto add = [&](std::string_view path) {
    if (seen.insert(path).second) listed.push_back(path);
  };
  if (meta->checksum)
    for (const auto& [path, entry] : *meta->checksum) add(path);
  for (const auto& [symbol, path] : meta->index) add(path);

  std::vector<std::filesystem::path> out;
  out.reserve(listed.size());
  for (auto path : listed) {
    auto resolved = project.get_source_path(path);
    if (!resolved) return std::unexpected(ProjectSourcesError::Path{std::move(resolved.error())});
    out.push_back(std::move(*resolved));
  }
  return out;
}

}  // namespace kestro::project
