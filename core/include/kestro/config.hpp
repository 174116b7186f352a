// The package manager's configuration file `kestro.toml`: package indexes
// ([[index]]) and project source overrides ([[project]]), read as written
// without judging the texts.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/fs_error.hpp"
#include "kestro/utils/toml.hpp"
#include "kestro/utils/toml_value.hpp"

namespace kestro {

// One place from which a project is taken in place of resolving it: a kind
// and one text (a path for the first three kinds, a URL for the others).
struct OverrideSource {
  // In the order in which a value is matched against them.
  enum class Kind { Editable, LocalSrc, LocalKpar, RemoteKpar, RemoteSrc, RemoteGit };
  Kind kind;
  std::string text;

  // The TOML key of a kind: "editable", "src_path", "kpar_path",
  // "remote_kpar", "remote_src", "remote_git".
  static std::string_view key(Kind kind);
  bool operator==(const OverrideSource&) const = default;
};

// Reads one element of a `sources` list. The value is taken as an owned
// tree first (integers beyond the 64-bit ranges fail there); the first kind
// whose key holds a string wins; other keys are passed over. Nothing fits:
// "data did not match any variant of untagged enum OverrideSource".
std::expected<OverrideSource, toml::Error> deserialize_override_source(const toml::Document& doc, toml::NodeId value);

// A new inline table with the kind's key and the text as a string; its text
// (toml::write_inline) reads `{ key = "text" }`.
toml::Value override_source_to_toml(const OverrideSource& source);

// One configured package index.
struct Index {
  std::optional<std::string> name;
  std::string url;
  std::optional<bool> default_;  // the key `default`; false and absent mean the same
  bool operator==(const Index&) const = default;
};

// One project override: every identifier is tied to all the sources.
struct ConfigProject {
  std::vector<std::string> identifiers;
  std::vector<OverrideSource> sources;
  bool operator==(const ConfigProject&) const = default;
};

struct Config {
  std::vector<Index> index;
  std::vector<ConfigProject> project;

  // Appends the other document's index entries, then its project entries.
  // Nothing is compared or removed.
  void merge(Config other);
  bool operator==(const Config&) const = default;
};

// Reads the text of one file. Errors carry the input, so their message
// shows the offending line.
std::expected<Config, toml::Error> parse_config_toml(std::string_view text);

// The failure of loading one configuration file.
class ConfigLoadError : public Error {
 public:
  // Examining (IsFile) or reading (ReadFile) the file failed.
  explicit ConfigLoadError(FsIoError io) : v_(std::move(io)) {}
  // The text is no valid configuration.
  ConfigLoadError(fs::path path, toml::Error error) : v_(TomlFailure{std::move(path), std::move(error)}) {}

  const FsIoError* io() const { return std::get_if<FsIoError>(&v_); }
  const toml::Error* toml() const {
    const auto* t = std::get_if<TomlFailure>(&v_);
    return t ? &t->error : nullptr;
  }
  // For Io the file-system error's text; for Toml "failed to deserialize
  // TOML file `{path}`: {reader's text}" (the text ends with a line feed).
  // No cause.
  std::string message() const override;

 private:
  struct TomlFailure {
    fs::path path;
    toml::Error error;
  };
  std::variant<FsIoError, TomlFailure> v_;
};

inline std::string display_config_load_error(const ConfigLoadError& error) { return error.message(); }

// Loads one file. A path that does not exist, or is no regular file (a
// directory, say), gives the default (empty) document.
std::expected<Config, ConfigLoadError> load_config_file(const fs::path& path);

}  // namespace kestro
