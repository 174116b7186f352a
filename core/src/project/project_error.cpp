#include "kestro/project/project_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::project {

ProjectErrorShapes::Other unexpected_internal(const Error& err) {
  return {fmt::format("unexpected internal error: {}", err.message())};
}

std::string ProjectErrorShapes::text_of(const MissingMeta&) { return "project is missing metadata file `.meta.json`"; }
std::string ProjectErrorShapes::text_of(const MissingInfoMeta&) {
  return "project is missing `.project.json` and/or `.meta.json` files";
}
std::string ProjectErrorShapes::text_of(const MissingInfo&) {
  return "project is missing project information file `.project.json`";
}
std::string ProjectErrorShapes::text_of(const Deserialize& v) {
  return fmt::format("project deserialization error: failed to deserialize `{}`: {}", v.file, v.err.message());
}
std::string ProjectErrorShapes::text_of(const Serialize& v) {
  return fmt::format("project serialization error: {}: {}", v.context, v.err.message());
}
std::string ProjectErrorShapes::text_of(const ImpossibleRelativePath& v) {
  return "cannot construct a relative path from the workspace/project\n        directory to one of its "
         "dependencies' directory:\n" +
         v.err.message();
}
std::string ProjectErrorShapes::text_of(const PublisherMismatch& v) {
  return fmt::format("project publisher `{}` does not match expected `{}`", v.actual.value_or("<none>"),
                     v.expected.value_or("<none>"));
}
std::string ProjectErrorShapes::text_of(const NameMismatch& v) {
  return fmt::format("project name `{}` does not match expected `{}`", v.actual, v.expected);
}
std::string ProjectErrorShapes::text_of(const NotFound& v) { return fmt::format("path `{}` not found", v.path); }
std::string ProjectErrorShapes::text_of(const DigestMismatch& v) {
  return fmt::format("kpar at `{}` has sha256 `{}` but the expected digest was `{}`", v.location, v.computed,
                     v.expected);
}
std::string ProjectErrorShapes::text_of(const SizeMismatch& v) {
  return fmt::format("kpar at `{}` has size {} bytes but the expected size was {} bytes", v.location, v.actual,
                     v.expected);
}
std::string ProjectErrorShapes::text_of(const EmptyKpar& v) {
  return fmt::format("kpar at `{}` is an empty file", v.location);
}
std::string ProjectErrorShapes::text_of(const FileNotFound& v) {
  return fmt::format("project read error: file `{}` not found", v.path);
}
std::string ProjectErrorShapes::text_of(const IoRead& v) { return "failed to read from reader: " + v.err.message(); }

std::string ProjectErrorShapes::debug_of(const AlreadyExists& v) {
  return fmt::format("AlreadyExists({})", debug_quote(v.text));
}
std::string ProjectErrorShapes::debug_of(const Deserialize& v) {
  return fmt::format("Deserialize(ProjectDeserializationError {{ path: {}, err: {} }})", debug_quote(v.file),
                     v.err.debug());
}
std::string ProjectErrorShapes::debug_of(const Serialize& v) {
  return fmt::format("Serialize(ProjectSerializationError {{ msg: {}, err: {} }})", debug_quote(v.context),
                     v.err.debug());
}
std::string ProjectErrorShapes::debug_of(const PublisherMismatch& v) {
  return fmt::format("PublisherMismatch {{ expected: {}, actual: {} }}", debug_option(v.expected),
                     debug_option(v.actual));
}
std::string ProjectErrorShapes::debug_of(const NameMismatch& v) {
  return fmt::format("NameMismatch {{ expected: {}, actual: {} }}", debug_quote(v.expected), debug_quote(v.actual));
}
std::string ProjectErrorShapes::debug_of(const NotFound& v) { return fmt::format("NotFound({})", debug_quote(v.path)); }
std::string ProjectErrorShapes::debug_of(const DigestMismatch& v) {
  return fmt::format("DigestMismatch {{ path: {}, expected: {}, computed: {} }}", debug_quote(v.location),
                     debug_quote(v.expected), debug_quote(v.computed));
}
std::string ProjectErrorShapes::debug_of(const SizeMismatch& v) {
  return fmt::format("SizeMismatch {{ path: {}, expected: {}, actual: {} }}", debug_quote(v.location), v.expected,
                     v.actual);
}
std::string ProjectErrorShapes::debug_of(const EmptyKpar& v) {
  return fmt::format("EmptyKpar {{ path: {} }}", debug_quote(v.location));
}
std::string ProjectErrorShapes::debug_of(const FileNotFound& v) {
  return fmt::format("FileNotFound({})", debug_quote(v.path));
}
std::string ProjectErrorShapes::debug_of(const Other& v) { return fmt::format("Other({})", debug_quote(v.text)); }

LocalPathProjectError LocalPathProjectError::from_kpar(const LocalKparError& err) {
  return convert_project_error<LocalPathProjectError>(err);
}

LocalPathProjectError LocalPathProjectError::from_src_read(LocalSrcError err) {
  if (const auto* v = err.get_if<Deserialize>()) return *v;
  if (const auto* v = err.get_if<Path>()) return *v;
  if (err.holds<AlreadyExists>()) return unexpected_internal(err);
  return from_src(std::move(err));
}

std::string ProjectSourcesError::text_of(const Validation& v) {
  return fmt::format("project's `.{}.json` is invalid", v.name);
}

std::string ProjectSourcesError::debug_of(const Validation& v) {
  return fmt::format("Validation {{ name: {}, source: {} }}", debug_quote(v.name), v.source.debug());
}

}  // namespace kestro::project
