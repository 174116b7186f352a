// The errors of reading a lock: the document's own failures (not TOML, no or
// another version, a typed read that fails) and the rules between its
// projects that validation checks.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <optional>
#include <string>

#include "kestro/model/relative_path.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/toml_error.hpp"

namespace kestro::lock {

struct LockValidationVariants {
  struct UnsupportedVersion {
    std::string version;
    bool operator==(const UnsupportedVersion&) const = default;
  };
  struct NameCollision {
    std::string symbol;
    bool operator==(const NameCollision&) const = default;
  };
  struct ProjectIdCollision {
    std::string identifier;
    bool operator==(const ProjectIdCollision&) const = default;
  };
  struct ProjectWithoutId {
    std::string name;
    bool operator==(const ProjectWithoutId&) const = default;
  };
  struct UnsatisfiedUsage {
    std::string usage;
    std::string name;
    bool operator==(const UnsatisfiedUsage&) const = default;
  };
  struct InvalidDigestFormat {
    std::string kind;  // "kpar" or "project canonical"
    std::string digest;
    std::string name;
    bool operator==(const InvalidDigestFormat&) const = default;
  };
  struct InvalidSourcePath {
    std::string name;
    RelativePathError source;
    bool operator==(const InvalidSourcePath&) const = default;
  };
  struct InvalidSourceUrl {
    std::string name;
    iri::IriError source;
    bool operator==(const InvalidSourceUrl& o) const {
      return name == o.name && source.message() == o.source.message();
    }
  };
  using Sum = std::variant<UnsupportedVersion, NameCollision, ProjectIdCollision, ProjectWithoutId, UnsatisfiedUsage,
                           InvalidDigestFormat, InvalidSourcePath, InvalidSourceUrl>;
};

class LockValidationError : public ErrorSum<LockValidationError, LockValidationVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const UnsupportedVersion& v);
  static std::string text_of(const NameCollision& v);
  static std::string text_of(const ProjectIdCollision& v);
  static std::string text_of(const ProjectWithoutId& v);
  static std::string text_of(const UnsatisfiedUsage& v);
  static std::string text_of(const InvalidDigestFormat& v);
  static std::string text_of(const InvalidSourcePath& v);
  static std::string text_of(const InvalidSourceUrl& v);
  static std::string debug_of(const UnsupportedVersion& v);
  static std::string debug_of(const NameCollision& v);
  static std::string debug_of(const ProjectIdCollision& v);
  static std::string debug_of(const ProjectWithoutId& v);
  static std::string debug_of(const UnsatisfiedUsage& v);
  static std::string debug_of(const InvalidDigestFormat& v);
  static std::string debug_of(const InvalidSourcePath& v);
  static std::string debug_of(const InvalidSourceUrl& v);
  static const Error* cause_of(const InvalidSourcePath& v) { return &v.source; }
  static const Error* cause_of(const InvalidSourceUrl& v) { return &v.source; }
};

struct LockfileVariants {
  // The typed read failed.
  struct Toml {
    toml::Error error;
    bool operator==(const Toml& o) const { return error.message() == o.error.message(); }
  };
  // The text is not a TOML document.
  struct TomlEdit {
    toml::Error error;
    bool operator==(const TomlEdit& o) const { return error.message() == o.error.message(); }
  };
  // Shown exactly as the validation error, cause included.
  struct Validation {
    LockValidationError error;
    bool operator==(const Validation&) const = default;
  };
  // `lock_version` missing or not a string (no text), or another version.
  struct Version {
    std::optional<std::string> version;
    bool operator==(const Version&) const = default;
  };
  using Sum = std::variant<Toml, TomlEdit, Validation, Version>;
};

class LockfileError : public ErrorSum<LockfileError, LockfileVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Toml& v);
  static std::string text_of(const TomlEdit& v);
  static std::string text_of(const Validation& v) { return v.error.message(); }
  static std::string text_of(const Version& v);
  static std::string debug_of(const Toml& v);
  static std::string debug_of(const TomlEdit& v);
  static std::string debug_of(const Validation& v);
  static std::string debug_of(const Version& v);
  static const Error* cause_of(const Toml& v) { return &v.error; }
  static const Error* cause_of(const TomlEdit& v) { return &v.error; }
  static const Error* cause_of(const Validation& v) { return v.error.cause(); }
};

}  // namespace kestro::lock
