// The modeller's settings files (`plovik.toml`, `plovik.user.toml`): the one
// record they all share, the reading of one file into it, and how a later
// file's record folds over an earlier one's.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/toml_error.hpp"
#include "kestro/utils/toml_value.hpp"

namespace kestro::modeler {

namespace fs = std::filesystem;

// A free-form settings table. Its members, and those of every table nested
// in it, are ordered by key (bytewise).
using TomlTable = toml::Value::Table;

// The `lsp` table.
struct LspConfig {
  std::optional<std::string> edit;
  bool operator==(const LspConfig&) const = default;
};

// One file's settings. Every field is optional; an absent field differs
// from a present but empty one (`include = []` is present).
struct PlovikConfig {
  std::optional<std::vector<std::string>> include;  // model files to add, as written
  std::optional<std::vector<std::string>> exclude;  // model files to leave out, as written
  std::optional<TomlTable> viz;                     // carried unchanged
  std::optional<std::string> std_dir;               // key `std`: the standard library's root, as written
  std::optional<std::string> kestro_dir;            // key `kestro-dir`: the package environment, as written
  std::optional<LspConfig> lsp;

  // Folds `later` over this record, key by key: `include`, `std`,
  // `kestro-dir` and `lsp.edit` are replaced when `later` has them (an empty
  // `include` too); `exclude` lists are joined, this record's entries first;
  // `viz` tables are merged at every depth (merge_toml_tables).
  void merge(PlovikConfig later);

  bool operator==(const PlovikConfig&) const = default;
};

// Overlays `overlay` on `base`, key by key: a key both hold is merged with
// merge_toml_value, any other key of the overlay is added. Both tables must
// be ordered by key; `base` stays so.
void merge_toml_tables(TomlTable& base, TomlTable overlay);
// Two tables are merged with merge_toml_tables; otherwise the overlay
// replaces the base, whatever their kinds (arrays are replaced, not joined).
void merge_toml_value(toml::Value& base, toml::Value overlay);

struct ConfigVariants {
  // Reading the file failed (not a missing file: that is no error here).
  struct ReadFailed {
    fs::path path;
    IoError io;
  };
  // The text is no TOML, or a listed key holds a value of the wrong type.
  struct ParseFailed {
    fs::path path;
    toml::Error error;
  };
  // The project-level file was seen by the walk up and gone when read.
  struct ProjectConfigDisappeared {
    fs::path path;
  };
  // An explicitly named file does not exist.
  struct NotFound {
    fs::path path;
  };
  using Sum = std::variant<ReadFailed, ParseFailed, ProjectConfigDisappeared, NotFound>;
};

// Paths are shown as passed in, never canonicalised.
class ConfigError : public ErrorSum<ConfigError, ConfigVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const ReadFailed& v);
  static std::string text_of(const ParseFailed& v);
  static std::string text_of(const ProjectConfigDisappeared& v);
  static std::string text_of(const NotFound& v);
  static std::string debug_of(const ReadFailed& v);
  static std::string debug_of(const ParseFailed& v);
  static std::string debug_of(const ProjectConfigDisappeared& v);
  static std::string debug_of(const NotFound& v);
};

// Reads one settings file: its record, none when the file does not exist,
// or the failure. Keys other than the six of the record (and other than
// `edit` inside `lsp`) are passed over; a file that fails contributes
// nothing. A leading UTF-8 byte-order mark is skipped.
std::expected<std::optional<PlovikConfig>, ConfigError> read_config_file(const fs::path& path);

// How strictly the tables core's soundness gate counts a model's problems.
enum class SoundnessTier { Project, External, All };

// "project", "external", "all".
std::string_view soundness_tier_text(SoundnessTier tier);

}  // namespace kestro::modeler
