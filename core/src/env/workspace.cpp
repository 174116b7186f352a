#include "kestro/env/workspace.hpp"

#include <fcntl.h>

#include <array>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::env {
namespace {

constexpr std::string_view kDeserializeContext = "failed to deserialize `.workspace.json`";

constexpr std::array<json::Field, 2> kProjectFields = {{{"path", true}, {"iris", true}}};
constexpr std::array<json::Field, 1> kMetaFields = {{{"metamodel", false}}};
constexpr std::array<json::Field, 2> kInfoFields = {{{"projects", true}, {"meta", false}}};

json::Result<WorkspaceProjectInfoG> read_project(json::Reader& r) {
  WorkspaceProjectInfoG project;
  auto res = json::read_record(r, "struct WorkspaceProjectInfoG", kProjectFields,
                               [&](size_t i, json::Reader& rd) -> json::Result<void> {
                                 if (i == 0) return json::assign(rd.read_string(), project.path);
                                 return json::assign(json::read_string_list(rd), project.iris);
                               });
  if (!res) return std::unexpected(res.error());
  return project;
}

json::Result<std::optional<WorkspaceMetaG>> read_optional_meta(json::Reader& r) {
  auto null = r.read_null();
  if (!null) return std::unexpected(null.error());
  if (*null) return std::nullopt;
  WorkspaceMetaG meta;
  auto res = json::read_record(r, "struct WorkspaceMetaG", kMetaFields, [&](size_t, json::Reader& rd) {
    return json::assign(rd.read_optional_string(), meta.metamodel);
  });
  if (!res) return std::unexpected(res.error());
  return meta;
}

json::Result<WorkspaceInfoG> read_info(json::Reader& r) {
  WorkspaceInfoG info;
  auto res = json::read_record(r, "struct WorkspaceInfoG", kInfoFields,
                               [&](size_t i, json::Reader& rd) -> json::Result<void> {
                                 if (i == 1) return json::assign(read_optional_meta(rd), info.meta);
                                 return json::read_seq(rd, "a sequence", [&](json::Reader& e) -> json::Result<void> {
                                   auto p = read_project(e);
                                   if (!p) return std::unexpected(p.error());
                                   info.projects.push_back(std::move(*p));
                                   return {};
                                 });
                               });
  if (!res) return std::unexpected(res.error());
  return info;
}

// The IRI of `text`, or the Validation error naming the file.
std::expected<iri::Iri, WorkspaceError> parse_iri(const std::filesystem::path& file, const std::string& text) {
  auto parsed = iri::Iri::parse(text);
  if (!parsed)
    return std::unexpected(WorkspaceError::Validation{
        display_path(file), WorkspaceValidationError::InvalidIri{text, std::move(parsed.error())}});
  return std::move(*parsed);
}

std::expected<WorkspaceInfo, WorkspaceError> validate(const std::filesystem::path& file, WorkspaceInfoG raw) {
  WorkspaceInfo info;
  info.projects.reserve(raw.projects.size());
  for (WorkspaceProjectInfoG& project : raw.projects) {
    WorkspaceProjectInfo checked{std::move(project.path), {}};
    checked.iris.reserve(project.iris.size());
    for (const std::string& text : project.iris) {
      auto parsed = parse_iri(file, text);
      if (!parsed) return std::unexpected(std::move(parsed.error()));
      checked.iris.push_back(std::move(*parsed));
    }
    info.projects.push_back(std::move(checked));
  }
  if (raw.meta) {
    WorkspaceMeta meta;
    if (const auto& metamodel = raw.meta->metamodel) {
      if (*metamodel != kSysmlMetamodel && *metamodel != kKermlMetamodel)
        log::warn(kWorkspaceLogTarget, "workspace uses an unknown metamodel `{}`", *metamodel);
      auto parsed = parse_iri(file, *metamodel);
      if (!parsed) return std::unexpected(std::move(parsed.error()));
      meta.metamodel = std::move(*parsed);
    }
    info.meta = std::move(meta);
  }
  return info;
}

}  // namespace

json::Result<WorkspaceInfoG> parse_workspace_json(std::string_view text) {
  return json::parse_document<WorkspaceInfoG>(text, read_info);
}

std::expected<LoadedWorkspace, WorkspaceError> read_workspace_file(std::filesystem::path root) {
  const std::filesystem::path file = root / kWorkspaceFile;
  auto deserialize_error = [](json::JsonError err) {
    return std::unexpected(WorkspaceError::Deserialize{WorkspaceDeserializationError(std::string(kDeserializeContext), std::move(err))});
  };
  std::string text;
  {
    auto opened = open_fd(file, O_RDONLY | O_CLOEXEC);
    if (!opened) return std::unexpected(WorkspaceError::Io{FsIoError::OpenFile{file, std::move(opened.error())}});
    auto content = read_fd(opened->get(), kMaxDocumentFileSize);
    if (!content) return deserialize_error(json::JsonError(content.error().message()));
    text = std::move(*content);
  }
  auto raw = parse_workspace_json(text);
  if (!raw) return deserialize_error(std::move(raw.error()));
  auto info = validate(file, std::move(*raw));
  if (!info) return std::unexpected(std::move(info.error()));
  return LoadedWorkspace{std::move(root), std::move(*info)};
}

}  // namespace kestro::env
