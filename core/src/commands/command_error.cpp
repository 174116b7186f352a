#include "kestro/commands/command_error.hpp"

namespace kestro::commands {

std::string KParBuildError::text_of(const MissingInfoMeta&) {
  return "missing project info file `.project.json` and metadata file `.meta.json`";
}
std::string KParBuildError::text_of(const Serialize& v) {
  return fmt::format("project serialization error: {}: {}", v.what, v.json_error);
}
std::string KParBuildError::text_of(const PathUsage& v) {
  return fmt::format(
      "project includes a path usage `{}`,\nwhich is unlikely to be available on other computers at the same path",
      v.usage);
}
// The project path is shown second although it is the last field.
std::string KParBuildError::text_of(const WorkspaceMetamodelConflict& v) {
  return fmt::format(
      "workspace sets metamodel `{}`, but project `{}` sets a different metamodel `{}` in `.meta.json`;\nremove the "
      "metamodel from the project's `.meta.json` or from `.workspace.json`",
      v.workspace_metamodel, v.project_path, v.project_metamodel);
}
std::string KParBuildError::text_of(const MissingIndexSymbol& v) {
  return fmt::format("file `{}` is missing symbol `{}` found in index", v.path, v.symbol);
}

std::string ProjectLocatorError::text_of(const OnlyPrereleaseVersions& v) {
  return fmt::format(
      "interchange project `{}` has no released version,\nonly pre-releases ({}); pass the version to use one of them",
      v.iri, v.versions);
}
std::string ProjectLocatorError::text_of(const MissingPublisherForUsage& v) {
  return fmt::format("project `{}` does not have a publisher,\nwhich is required to add it as a path usage", v.project);
}

}  // namespace kestro::commands
