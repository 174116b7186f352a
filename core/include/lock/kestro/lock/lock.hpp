// The lock document `kestro-lock.toml`: every project that a project's usages
// resolved to, with the sources each can be fetched from again, and its exact
// text form.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestro/project/lock_source.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/toml_write.hpp"

namespace kestro::lock {

// The only lock version written and read.
inline constexpr std::string_view kLockVersion = "0.5";

// One locked project. Fields in the order the writer writes them.
struct Project {
  std::optional<std::string> publisher;
  std::string name;
  std::string version;
  std::vector<std::string> exports;
  std::vector<std::string> identifiers;  // the first one is the project's key
  std::vector<std::string> usages;
  std::vector<Source> sources;
  bool operator==(const Project&) const = default;
};

struct Lock {
  std::string lock_version;
  std::vector<Project> project;

  // An empty lock of the current version.
  static Lock create() { return Lock{std::string(kLockVersion), {}}; }
  bool operator==(const Lock&) const = default;
};

// The one thing the writer refuses: an archive size that no TOML integer
// holds.
struct LockWriteVariants {
  struct SizeOutOfRange {
    std::string name;
    std::uint64_t size = 0;
    bool operator==(const SizeOutOfRange&) const = default;
  };
  using Sum = std::variant<SizeOutOfRange>;
};
class LockWriteError : public ErrorSum<LockWriteError, LockWriteVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const SizeOutOfRange& v);
};

// The whole lock text: the header comment, `lock_version`, then one
// `[[project]]` table per project in list order. Never reorders anything.
std::expected<std::string, LockWriteError> serialize_lock(const Lock& lock);

// The key lines of one project table, each ending with a line feed, as they
// follow `[[project]]` in the lock text.
std::expected<std::string, LockWriteError> lock_project_to_toml(const Project& project);

// One source as an inline table: `{ editable = "." }`.
std::expected<std::string, LockWriteError> lock_source_to_toml(const Source& source);

// The multi-line array of strings the lock and `env.toml` share.
using toml::write_toml_multiline_array;

}  // namespace kestro::lock
