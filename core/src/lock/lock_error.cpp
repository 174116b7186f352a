#include "kestro/lock/lock_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::lock {

using V = LockValidationError;

std::string V::text_of(const UnsupportedVersion& v) {
  return fmt::format("lockfile version `{}` is not supported; regenerate it with a lock operation", v.version);
}
std::string V::text_of(const NameCollision& v) {
  return fmt::format("symbol name `{}` is exported by more than one project in lockfile", v.symbol);
}
std::string V::text_of(const ProjectIdCollision& v) {
  return fmt::format("project identifier `{}` is\nspecified by more than one project in lockfile", v.identifier);
}
std::string V::text_of(const ProjectWithoutId& v) {
  return fmt::format("project `{}` does not have an identifier", v.name);
}
std::string V::text_of(const UnsatisfiedUsage& v) {
  return fmt::format("unsatisfied usage `{}` for project `{}` in lockfile", v.usage, v.name);
}
std::string V::text_of(const InvalidDigestFormat& v) {
  return fmt::format("invalid format of {} digest `{}` for project `{}` in lockfile", v.kind, v.digest, v.name);
}
std::string V::text_of(const InvalidSourcePath& v) {
  return fmt::format("invalid source path provided for project `{}` in lockfile", v.name);
}
std::string V::text_of(const InvalidSourceUrl& v) {
  return fmt::format("invalid source URL provided for project `{}` in lockfile", v.name);
}

std::string V::debug_of(const UnsupportedVersion& v) {
  return fmt::format("UnsupportedVersion({})", debug_quote(v.version));
}
std::string V::debug_of(const NameCollision& v) { return fmt::format("NameCollision({})", debug_quote(v.symbol)); }
std::string V::debug_of(const ProjectIdCollision& v) {
  return fmt::format("ProjectIdCollision({})", debug_quote(v.identifier));
}
std::string V::debug_of(const ProjectWithoutId& v) {
  return fmt::format("ProjectWithoutId({})", debug_quote(v.name));
}
std::string V::debug_of(const UnsatisfiedUsage& v) {
  return fmt::format("UnsatisfiedUsage {{ usage: {}, name: {} }}", debug_quote(v.usage), debug_quote(v.name));
}
std::string V::debug_of(const InvalidDigestFormat& v) {
  return fmt::format("InvalidDigestFormat {{ kind: {}, digest: {}, name: {} }}", debug_quote(v.kind),
                     debug_quote(v.digest), debug_quote(v.name));
}
std::string V::debug_of(const InvalidSourcePath& v) {
  return fmt::format("InvalidSourcePath {{ name: {}, source: {} }}", debug_quote(v.name), v.source.debug());
}
std::string V::debug_of(const InvalidSourceUrl& v) {
  return fmt::format("InvalidSourceUrl {{ name: {}, source: {} }}", debug_quote(v.name), v.source.debug());
}

using F = LockfileError;

std::string F::text_of(const Toml& v) { return "failed to parse lockfile: " + v.error.message(); }
std::string F::text_of(const TomlEdit& v) { return "failed to parse lockfile: " + v.error.message(); }
std::string F::text_of(const Version& v) {
  if (!v.version) return "lockfile version is missing";
  return fmt::format("lockfile version `{}` is not supported; regenerate it with a lock operation", *v.version);
}
std::string F::debug_of(const Toml& v) { return "Toml(" + v.error.debug() + ")"; }
std::string F::debug_of(const TomlEdit& v) { return "TomlEdit(" + v.error.debug() + ")"; }
std::string F::debug_of(const Validation& v) { return "Validation(" + v.error.debug() + ")"; }
std::string F::debug_of(const Version& v) {
  return "Version(" + debug_option(v.version) + ")";
}

}  // namespace kestro::lock
