// The workspace file `.workspace.json`: the member projects of a workspace
// directory with their identifiers, and the metamodel they use. Only read,
// never written.
#pragma once

#include "kestro/env/namespace.hpp"

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/env/env_error.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::env {

inline constexpr std::string_view kWorkspaceFile = ".workspace.json";
inline constexpr std::string_view kWorkspaceLogTarget = "kestro_core::workspace";

// The metamodels a workspace is expected to name; any other is warned about.
inline constexpr std::string_view kSysmlMetamodel = "https://www.omg.org/spec/SysML/20250201";
inline constexpr std::string_view kKermlMetamodel = "https://www.omg.org/spec/KerML/20250201";

// The file as written. Each record is an object (unknown keys ignored, a
// listed key twice an error) or an array of its values in field order.
struct WorkspaceProjectInfoG {
  std::string path;
  std::vector<std::string> iris;
};
struct WorkspaceMetaG {
  std::optional<std::string> metamodel;  // absent or null: none
};
struct WorkspaceInfoG {
  std::vector<WorkspaceProjectInfoG> projects;  // required, in file order
  std::optional<WorkspaceMetaG> meta;           // absent or null: none
};

// The validated file: every IRI parsed (its text kept as written).
struct WorkspaceProjectInfo {
  std::string path;
  std::vector<iri::Iri> iris;
};
struct WorkspaceMeta {
  std::optional<iri::Iri> metamodel;
};
struct WorkspaceInfo {
  std::vector<WorkspaceProjectInfo> projects;
  std::optional<WorkspaceMeta> meta;
};

// A workspace read from its directory.
struct LoadedWorkspace {
  std::filesystem::path root;  // as handed to the reader
  WorkspaceInfo info;
};

// Parses the text of `.workspace.json`; the JSON reader's error names the
// line and column ("missing field `path`", "duplicate field `projects`").
json::Result<WorkspaceInfoG> parse_workspace_json(std::string_view text);

// Reads `.workspace.json` under `root`: Io (OpenFile) when it cannot be
// opened, Deserialize when it cannot be read or parsed, Validation (naming
// the file) for the first text, project by project, that is no IRI. A
// metamodel that is neither known one is warned about (WARN, before it is
// parsed) and kept.
std::expected<LoadedWorkspace, WorkspaceError> read_workspace_file(std::filesystem::path root);

}  // namespace kestro::env
