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

#include "kestro/model/override_source.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/toml_document.hpp"
#include "kestro/utils/toml_value.hpp"

namespace kestro::model {

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

struct ConfigLoadVariants {
  // Examining (IsFile) or reading (ReadFile) the file failed.
  struct Io { FsIoError io; };
  // The text is no valid configuration.
  struct Toml { fs::path path; toml::Error error; };
  using Sum = std::variant<Io, Toml>;
};

// The failure of loading one configuration file: for Io the file-system
// error's text; for Toml "failed to deserialize TOML file `{path}`: {reader's
// text}" (the text ends with a line feed). No cause.
class ConfigLoadError : public ErrorSum<ConfigLoadError, ConfigLoadVariants> {
 public:
  using ErrorSum::ErrorSum;
  const FsIoError* io() const {
    const auto* v = get_if<Io>();
    return v ? &v->io : nullptr;
  }
  const toml::Error* toml() const {
    const auto* v = get_if<Toml>();
    return v ? &v->error : nullptr;
  }
  static std::string text_of(const Io& v) { return v.io.message(); }
  static std::string text_of(const Toml& v);
};

inline std::string display_config_load_error(const ConfigLoadError& error) { return error.message(); }

// Loads one file. A path that does not exist, or is no regular file (a
// directory, say), gives the default (empty) document.
std::expected<Config, ConfigLoadError> load_config_file(const fs::path& path);

}  // namespace kestro::model
