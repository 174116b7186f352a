// Which SysML and KerML files make up a model: positional paths,
// directories and glob patterns, plus `include` entries, minus `exclude`
// patterns, with the modeller configuration supplying the `include` and
// `exclude` lists when the call gives none. The result is a sorted list of
// absolute paths without duplicates.
//
// Model files are those whose extension (the text after the last `.` of the
// name, when that `.` is not its first character) is `sysml` or `kerml`,
// compared exactly; a file named directly is taken whatever its extension.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/modeler/glob.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::modeler {

namespace fs = std::filesystem;

struct ModelSourceRequest {
  std::vector<std::string> patterns;  // positional
  std::vector<std::string> include;
  std::vector<std::string> exclude;
  std::optional<fs::path> config;  // an explicit configuration file
};

// How the origin of a pattern is named in messages.
struct SourceLabel {
  struct Positional {};
  struct IncludeOption {};  // include entries of the call, or with no configuration
  struct ConfigFile {
    std::string source;  // the configuration file, or the user-wide text
  };
  std::variant<Positional, IncludeOption, ConfigFile> kind;

  bool is_positional() const { return std::holds_alternative<Positional>(kind); }
  // The label filled with the path text that failed.
  std::string text(std::string_view path) const;
};

// The configuration stage's outcome: the lists to expand.
struct SourcePlan {
  std::vector<std::string> patterns;
  std::vector<std::string> include;  // ready to expand
  std::vector<std::string> exclude;
  SourceLabel include_label;
};

// An include entry whose path does not exist, reported only once every
// pattern has been tried: the filled label and the system's error.
struct DeferredMiss {
  std::string label;
  IoError io;
};

struct ModelSourceVariants {
  struct CollectDirectory {
    fs::path dir;
    std::string walk_error;
  };
  struct FileType {
    fs::path path;
    IoError io;
  };
  struct CanonicalizePath {
    fs::path path;
    std::string reason;  // the system's error, or a configuration failure's message
  };
  struct Canonicalize {
    std::string label;  // filled
    IoError io;
  };
  struct InvalidGlob {
    GlobError glob;
  };
  using Sum = std::variant<CollectDirectory, FileType, CanonicalizePath, Canonicalize, InvalidGlob>;
};

class ModelSourceError : public ErrorSum<ModelSourceError, ModelSourceVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const CollectDirectory& v);
  static std::string text_of(const FileType& v);
  static std::string text_of(const CanonicalizePath& v);
  static std::string text_of(const Canonicalize& v);
  static std::string text_of(const InvalidGlob& v);
};

// The whole resolution: configuration, expansion, exclusions, the deferred
// misses, then one sorted list.
std::expected<std::vector<fs::path>, ModelSourceError> resolve_model_files(const ModelSourceRequest& request);

// The explicit configuration file, else the one discovered from the current
// directory, supplies `include` (resolved against its directory) and
// `exclude` where the call's lists are empty; a call's list replaces the
// configuration's whole.
std::expected<SourcePlan, ModelSourceError> load_source_config(const ModelSourceRequest& request);

struct CollectedFiles {
  std::vector<fs::path> from_patterns;
  std::vector<fs::path> from_include;  // without what the patterns already hold
  std::vector<DeferredMiss> misses;
};

std::expected<CollectedFiles, ModelSourceError> collect_model_files(const SourcePlan& plan);

// Appends the files each pattern names: an existing file, the model files
// of a directory (collect_directory), or those a glob takes in.
std::expected<void, ModelSourceError> expand_source_patterns(const std::vector<std::string>& patterns,
                                                             const SourceLabel& label, std::vector<fs::path>& files,
                                                             std::vector<DeferredMiss>& misses);

// Appends the model files below the existing canonical directory `dir` that
// the ignore-aware walk yields (see ignore_walk.hpp).
std::expected<void, ModelSourceError> collect_directory(const fs::path& dir, std::vector<fs::path>& files);

// `entry` joined to `base_dir` as text, unless it begins with `/`.
std::string resolve_include_entry(const fs::path& base_dir, std::string_view entry);

// Removes the files an exclusion pattern matches. A leading "./" and
// trailing `/` of a pattern are dropped first, so "build/" is "build".
std::expected<void, ModelSourceError> apply_exclusions(const std::vector<std::string>& exclude,
                                                       std::vector<fs::path>& files);

// Both lists in one, ordered component by component with each component
// compared as bytes, without duplicates.
std::vector<fs::path> merge_source_lists(std::vector<fs::path> first, std::vector<fs::path> second);

}  // namespace kestro::modeler
