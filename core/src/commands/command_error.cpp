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

std::string CredentialStoreError::text_of(const Unreadable&) {
  return "credential store unreadable; remove the `kestro` keyring entry to reset";
}
std::string CredentialStoreError::text_of(const UnsupportedBlobVersion& v) {
  return fmt::format("unsupported credential store blob version {} (this build supports version {})", v.found,
                     v.expected);
}
std::string CredentialStoreError::text_of(const BackendAbsent& v) {
  return "no OS keyring backend is available: " + v.source->message();
}
std::string CredentialStoreError::text_of(const BackendDenied&) {
  return "the OS keyring denied access (it may be locked)";
}
std::string CredentialStoreError::text_of(const LockTimeout& v) {
  return fmt::format(
      "timed out waiting for the credential store lock at `{}`; retry once other kestro processes finish", v.path);
}
std::string CredentialStoreError::text_of(const NoLockDir&) {
  return "could not determine a per-user directory for the credential store lock file";
}
std::string CredentialStoreError::text_of(const BlobTooLarge&) {
  return "credential store full on this platform (Windows ~2.5 KB limit);\nremove an unused credential or use a "
         "smaller token";
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
