#include "kestro/env/env_error.hpp"

#include <fmt/format.h>

namespace kestro::env {

std::string EnvMetadataError::text_of(const Toml&) { return "failed to parse env metadata file"; }
std::string EnvMetadataError::text_of(const UnsupportedVersion& v) {
  return fmt::format("env metadata version `{}` is not supported", v.version);
}
std::string EnvMetadataError::text_of(const NonNormalizedProjectPath& v) {
  return fmt::format("non-editable project has path `{}` that contains references to parent or current directory",
                     v.path);
}
std::string EnvMetadataError::text_of(const AbsoluteProjectPath& v) {
  return fmt::format("non-editable project has path `{}` that is absolute", v.path);
}

std::string EnvMetadataLoadError::text_of(const Parse& v) {
  return fmt::format("failed to parse environment metadata loaded from `{}`", v.path);
}

// "prioject" is the message as users know it.
std::string LocalDirectoryEnvReadError::text_of(const ProjectNotFound& v) {
  return fmt::format("prioject {} is not present in environment", v.project);
}

std::string TryMoveError::text_of(const RecoveredIO& v) { return "recovered from failure: " + v.err.message(); }
std::string TryMoveError::text_of(const CatastrophicIO& v) {
  std::string text = "failed and may have left the directory in inconsistent state:\n" + v.err.message();
  if (!v.kept.empty()) text += fmt::format("\nthe moved directories are kept in `{}`", v.kept.string());
  return text;
}

std::string AddProjectError::text_of(const MissingInfo& v) {
  return fmt::format("missing project info at `{}`", v.path);
}

std::string LocalDirectoryEnvWriteVariants::text_of(const Path& v) { return "path error: " + v.err.message(); }
std::string LocalDirectoryEnvWriteVariants::text_of(const AlreadyExists& v) { return "already exists: " + v.what; }
std::string LocalDirectoryEnvWriteVariants::text_of(const ProjectNotFound& v) {
  return fmt::format("project `{}` not found in env", v.project);
}

std::string WorkspaceDeserializationError::message() const {
  return fmt::format("workspace deserialization error: {}: {}", msg_, err_.message());
}

std::string WorkspaceValidationError::text_of(const InvalidIri& v) {
  return fmt::format("failed to parse `{}` as IRI: {}", v.iri, v.err.message());
}

std::string WorkspaceError::text_of(const Deserialize& v) {
  return "failed to deserialize `.workspace.json`: " + v.err.message();
}
std::string WorkspaceError::text_of(const Validation& v) {
  return fmt::format("invalid workspace configuration in `{}`: {}", v.path, v.err.message());
}

}  // namespace kestro::env
