// The `kestro` command line: the command tree, the records a parsed command
// line yields, and the parse entry. Reading a record takes its values out of
// the parser's matches.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "kestro/cli/argparse.hpp"
#include "kestro/cli/info_command.hpp"
#include "kestro/cli/namespace.hpp"
#include "kestro/cli/value_parsers.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/utils/iri.hpp"
#include "kestro/utils/semver.hpp"

namespace kestro::cli {

inline constexpr std::string_view kVersion = "0.2.1";
inline constexpr std::string_view kAuthor = "Quellgard <kestro@quellgard.dev>";
inline constexpr std::string_view kLongAbout =
    "A package manager for SysML v2 and KerML\n\n"
    "Documentation:\n<https://docs.quellgard.dev/kestro/>\n"
    "Package index and more information:\n<https://kestro.quellgard.dev/>\n"
    "Project repository:\n<https://git.quellgard.dev/quellgard/kestro>";
// The index used when none is configured.
inline constexpr std::string_view kDefaultIndexUrl = "https://kestro.quellgard.dev/index/";

// Shared option groups.
struct ResolutionOptions {
  std::vector<std::string> index;
  std::vector<std::string> default_index;
  bool no_index = false;
  bool include_std = false;
  bool operator==(const ResolutionOptions&) const = default;
};

struct ProjectSourceOptions {
  std::optional<std::string> from_path;
  std::optional<iri::Iri> from_url;
  std::optional<std::string> as_editable;
  std::optional<std::string> as_local_src;
  std::optional<std::string> as_local_kpar;
  std::optional<iri::Iri> as_remote_src;
  std::optional<iri::Iri> as_remote_kpar;
  std::optional<iri::Iri> as_remote_git;
  bool operator==(const ProjectSourceOptions&) const = default;
};

struct InstallOptions {
  bool allow_overwrite = false;
  bool allow_multiple = false;
  bool no_deps = false;
  bool operator==(const InstallOptions&) const = default;
};

struct SourcesOptions {
  DependencySources deps = DependencySources::Deps;
  bool only_deps = false;
  bool operator==(const SourcesOptions&) const = default;
};

// Project locators: exactly one field is present after a parse.
struct AddProjectLocatorArgs {
  std::optional<iri::Iri> iri;
  std::optional<std::string> path;
  bool operator==(const AddProjectLocatorArgs&) const = default;
};
using RemoveProjectLocatorArgs = AddProjectLocatorArgs;
struct CloneProjectLocatorArgs {
  std::optional<std::string> auto_location;
  std::optional<iri::Iri> iri;
  std::optional<std::string> path;
  bool operator==(const CloneProjectLocatorArgs&) const = default;
};
struct ExpAddProjectLocatorArgs {
  std::optional<std::string> dir;
  std::optional<std::string> kpar_path;
  bool operator==(const ExpAddProjectLocatorArgs&) const = default;
};

struct AuthCommand {
  struct Status {
    bool operator==(const Status&) const = default;
  };
  struct Login {
    std::optional<std::string> index_url;
    bool token_stdin = false;
    bool operator==(const Login&) const = default;
  };
  struct Whoami {
    std::optional<std::string> index_url;
    bool operator==(const Whoami&) const = default;
  };
  struct Logout {
    std::optional<std::string> index_url;
    bool operator==(const Logout&) const = default;
  };
  std::variant<Status, Login, Whoami, Logout> command;
};

struct EnvCommand {
  struct Install {
    iri::Iri iri;
    std::optional<std::string> version;
    std::optional<std::string> path;
    InstallOptions install;
    ResolutionOptions resolution;
  };
  struct Uninstall {
    iri::Iri iri;
    std::optional<std::string> version;
  };
  struct List {};
  struct Sources {
    iri::Iri iri;
    std::optional<semver::VersionReq> version;
    SourcesOptions sources;
  };
  std::variant<Install, Uninstall, List, Sources> command;

  static bool has_subcommand(std::string_view name);
};

struct IndexRemoveTarget {
  std::optional<std::string> version;
  bool project = false;
};

struct IndexCommand {
  struct Init {
    std::optional<std::string> index_root;
  };
  struct Add {
    std::optional<std::string> iri;
    std::string kpar_path;
    std::optional<std::string> index_root;
  };
  struct Yank {
    std::string iri;
    std::string version;
    std::optional<std::string> index_root;
  };
  struct Remove {
    std::string iri;
    IndexRemoveTarget target;
    std::optional<std::string> index_root;
  };
  std::variant<Init, Add, Yank, Remove> command;
};

struct ExperimentalCommand {
  struct Add {
    ExpAddProjectLocatorArgs locator;
    bool no_lock = false;
    bool no_sync = false;
    bool no_prune = false;
    ResolutionOptions resolution;
  };
  struct Remove {
    std::string publisher;
    std::string name;
    bool no_lock = false;
    bool no_sync = false;
    bool no_prune = false;
    ResolutionOptions resolution;
  };
  std::variant<Add, Remove> command;
};

// The record of each top-level command, in the order of the command list.
struct CliCommand {
  struct Init {
    std::optional<std::string> path;
    std::optional<std::string> name;
    std::string publisher;
    std::optional<std::string> version;
    bool no_semver = false;
    std::optional<std::string> license;
    bool no_spdx = false;
  };
  struct New {
    std::vector<std::string> args;
  };
  struct Add {
    AddProjectLocatorArgs locator;
    std::optional<std::string> version_constraint;
    bool no_lock = false;
    bool no_sync = false;
    bool no_prune = false;
    ResolutionOptions resolution;
    std::unique_ptr<ProjectSourceOptions> source;  // always set
  };
  struct Remove {
    RemoveProjectLocatorArgs locator;
    bool no_lock = false;
    bool no_sync = false;
    bool no_prune = false;
    ResolutionOptions resolution;
  };
  struct Clone {
    CloneProjectLocatorArgs locator;
    std::optional<std::string> target;
    std::optional<std::string> version;
    bool no_deps = false;
    ResolutionOptions resolution;
  };
  struct Include {
    std::vector<std::string> paths;
    bool compute_checksum = false;
    bool no_index_symbols = false;
  };
  struct Exclude {
    std::vector<std::string> paths;
  };
  struct Build {
    std::optional<std::string> path;
    KparCompression compression = KparCompression::Deflated;
    bool allow_path_usage = false;
    bool keep_index = false;
  };
  struct Publish {
    std::optional<std::string> path;
    index::IndexLocation index;
    TrustedPublishingMode trusted_publishing = TrustedPublishingMode::Auto;
  };
  struct Auth {
    AuthCommand command;
  };
  struct Lock {
    ResolutionOptions resolution;
  };
  struct Env {
    std::optional<EnvCommand> command;
  };
  struct Index {
    IndexCommand command;
  };
  struct Sync {
    ResolutionOptions resolution;
    bool no_prune = false;
  };
  struct Info {
    std::optional<std::string> path;
    std::optional<iri::Iri> iri;
    std::optional<std::string> auto_location;
    bool no_normalise = false;
    ResolutionOptions resolution;
    std::optional<InfoCommand> command;
  };
  struct Sources {
    SourcesOptions sources;
  };
  struct PrintRoot {};
  struct Experimental {
    ExperimentalCommand command;
  };
  std::variant<Init, New, Add, Remove, Clone, Include, Exclude, Build, Publish, Auth, Lock, Env, Index, Sync, Info,
               Sources, PrintRoot, Experimental>
      command;

  // Reads the chosen top-level command out of the root's matches.
  static std::expected<CliCommand, ParseError> from_arg_matches(ArgMatches& matches);
};

struct GlobalOptions {
  bool verbose = false;
  bool quiet = false;
  bool no_config = false;
  std::optional<std::string> config_file;
  std::optional<bool> help;
};

// A parsed invocation.
struct Args {
  GlobalOptions global;
  CliCommand command;
  std::optional<bool> version;

  static std::expected<Args, ParseError> from_arg_matches(ArgMatches& matches);
};

// The complete `kestro` command, finalised. Reads `KESTRO_NO_CONFIG`,
// `KESTRO_CONFIG_FILE`, `KESTRO_INDEX` and `KESTRO_DEFAULT_INDEX` now.
Command build_cli_command();

// The parse entry: `words` starts with the program name. A conversion
// failure is formatted against a freshly built command.
std::expected<Args, ParseError> try_parse_args(std::span<const std::string> words);
// The same on a command built before (which keeps the environment of its
// building).
std::expected<Args, ParseError> try_parse_args_with(Command& command, std::span<const std::string> words);

// For the host's long-help entry: when the words parse, the names of the
// chosen subcommands, outermost first; otherwise the text of the outcome
// (help, version or error) with styles removed.
std::variant<std::vector<std::string>, std::string> render_long_help(std::span<const std::string> words);
// The host's long-help entry: the words with "--help" appended; when that
// parses (the "--help" taken as a value), `help` and the chosen subcommand
// names; when that parses too, the root's long help with `program` whole
// in the usage line. Styles removed.
std::string host_long_help(std::string_view program, std::span<const std::string> args);

// The error of a reader that found what a parse never leaves: kind and text
// as given, no usage.
ParseError reader_error(ErrorKind kind, std::string text);

}  // namespace kestro::cli
