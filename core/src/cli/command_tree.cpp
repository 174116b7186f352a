// The declarations of the `kestro` command tree: every command, option,
// environment fallback, help text and constraint.
#include <cstdlib>

#include "command_tree_parts.hpp"
#include "kestro/cli/cli.hpp"

namespace kestro::cli {

namespace decl {

Arg option(std::string id, std::string long_name, std::string value_name, std::string help) {
  Arg a;
  a.id = std::move(id);
  a.long_name = std::move(long_name);
  a.value_name = std::move(value_name);
  a.help = std::move(help);
  return a;
}

Arg flag(std::string id, std::string long_name, std::string help) {
  Arg a;
  a.id = std::move(id);
  a.long_name = std::move(long_name);
  a.arity = Arity::Flag;
  a.help = std::move(help);
  return a;
}

Arg positional(std::string id, std::string value_name, std::string help) {
  Arg a;
  a.id = std::move(id);
  a.value_name = std::move(value_name);
  a.help = std::move(help);
  return a;
}

Arg with_short(Arg a, char s) {
  a.short_name = s;
  return a;
}

Arg with_parser(Arg a, ValueParser p) {
  a.parser = std::move(p);
  return a;
}

Arg with_values(Arg a, std::vector<PossibleValue> values, std::optional<std::string> default_value) {
  a.possible_values = std::move(values);
  a.default_value = std::move(default_value);
  return a;
}

Arg in_group(Arg a, std::string group) {
  a.groups.push_back(std::move(group));
  return a;
}

Command command(std::string name, std::string about) {
  Command c(std::move(name));
  c.about = std::move(about);
  return c;
}

ArgGroup record_group(std::string id, std::vector<std::string> members) {
  return ArgGroup{std::move(id), std::move(members), false, true};
}

ArgGroup exactly_one(std::string id, std::vector<std::string> members) {
  return ArgGroup{std::move(id), std::move(members), true, false};
}

std::optional<std::string> env_now(const char* name) {
  const char* v = std::getenv(name);
  if (!v) return std::nullopt;
  return std::string(v);
}

}  // namespace decl

using namespace decl;

namespace {

constexpr std::string_view kExampleIndexUrl = "https://kestro.quellgard.dev/index/";

const std::string& deflated_default() {
  // Taken from the value list once, so the default is always a listed name.
  static const std::string name = kpar_compression_values()[1].name;
  return name;
}

// ---- shared option groups -------------------------------------------------

void resolution_options(Command& c) {
  c.group(record_group("ResolutionOptions", {"index", "default_index", "no_index", "include_std"}));
  auto list = [](std::string id, std::string long_name, std::string value_name, const char* env, std::string help) {
    Arg a = option(std::move(id), std::move(long_name), std::move(value_name), std::move(help));
    a.arity = Arity::ZeroOrMore;
    a.delimiter = ',';
    a.env = env;
    a.env_value = env_now(env);
    a.global = true;
    a.heading = "Resolution options";
    return a;
  };
  c.arg(list("index", "index", "INDEX", "KESTRO_INDEX",
             "Comma-delimited list of index URLs to use when resolving\n"
             "project(s) and/or their dependencies, in addition to the default indexes.\n"
             "An index URL may be a URL template with a `{path}` or `{path_raw}`\n"
             "placeholder. `{path}` is replaced by the percent-encoded relative index\n"
             "path (`/` becomes `%2F`), e.g. for the GitLab repository files API:\n"
             "`https://gitlab.com/api/v4/projects/123/repository/files/{path}/raw?ref=main`\n"
             "`{path_raw}` keeps `/` literal, for hosts that accept ordinary path\n"
             "segments but need a suffix or query string after the path."));
  c.arg(list("default_index", "default-index", "DEFAULT_INDEX", "KESTRO_DEFAULT_INDEX",
             "Comma-delimited list of URLs to use as default index\n"
             "URLs. Default indexes are tried after other indexes\n"
             "(default `" + std::string(kDefaultIndexUrl) + "`). Accepts URL templates like --index."));
  Arg no_index = flag("no_index", "no-index", "Do not use any index when resolving project(s) and/or their dependencies");
  no_index.conflicts_ids = {"index", "default_index"};
  Arg include_std =
      flag("include_std", "include-std", "Don't ignore KerML/SysML v2 standard libraries if specified as dependencies");
  for (Arg* a : {&no_index, &include_std}) {
    a->global = true;
    a->heading = "Resolution options";
  }
  c.arg(std::move(no_index));
  c.arg(std::move(include_std));
  c.about =
      "Control how packages and their dependencies are resolved. `include_std` is here only for convenience, as it "
      "does not affect package resolution, only installation (in `sync`, `env install`, `lock`, etc.)";
  c.long_about.clear();
}

void project_source_options(Command& c) {
  c.group(record_group("ProjectSourceOptions", {"from_path", "from_url", "as_editable", "as_local_src", "as_local_kpar",
                                                "as_remote_src", "as_remote_kpar", "as_remote_git"}));
  auto source = [&](std::string id, std::string long_name, bool url, std::string help) {
    Arg a = option(std::move(id), std::move(long_name), url ? "URL" : "PATH", std::move(help));
    if (url) a.parser = parse_iri_arg();
    a.groups = {"ProjectSourceOptions", "source"};
    c.arg(std::move(a));
  };
  source("from_path", "from-path", false,
         "Add usage as a local interchange project at PATH and\nupdate configuration file attempting to guess the\n"
         "source from the PATH");
  source("from_url", "from-url", true,
         "Add usage as a remote interchange project at URL and\nupdate configuration file attempting to guess the\n"
         "source from the URL");
  source("as_editable", "as-editable", false,
         "Add usage as an editable interchange project at PATH and\nupdate configuration file with appropriate source");
  source("as_local_src", "as-local-src", false,
         "Add usage as a local interchange project at PATH and\nupdate configuration file with appropriate source");
  source("as_local_kpar", "as-local-kpar", false,
         "Add usage as a local interchange project archive at PATH\nand update configuration file with appropriate source");
  source("as_remote_src", "as-remote-src", true,
         "Add usage as a remote interchange project at URL and\nupdate configuration file with appropriate source");
  source("as_remote_kpar", "as-remote-kpar", true,
         "Add usage as a remote interchange project archive at URL\nand update configuration file with appropriate source");
  source("as_remote_git", "as-remote-git", true,
         "Add usage as a remote git interchange project at URL and\nupdate configuration file with appropriate source");
}

void install_options(Command& c) {
  c.group(record_group("InstallOptions", {"allow_overwrite", "allow_multiple", "no_deps"}));
  c.arg(flag("allow_overwrite", "allow-overwrite", "Allow overwriting existing installation"));
  c.arg(flag("allow_multiple", "allow-multiple", "Install even if another version is already installed"));
  c.arg(flag("no_deps", "no-deps", "Don't install any dependencies"));
}

void sources_options(Command& c) {
  c.group(record_group("SourcesOptions", {"deps", "only_deps"}));
  c.arg(with_values(option("deps", "deps", "DEPS", "Do not include sources for dependencies"),
                    dependency_sources_values(), "deps"));
  c.arg(flag("only_deps", "only-deps", "Only include sources for dependencies, not the project's own sources"));
}

// ---- project locators -------------------------------------------------------

void add_locator(Command& c) {
  c.group(exactly_one("AddProjectLocatorArgs", {"iri", "path"}));
  c.arg(with_parser(positional("iri", "IRI",
                               "IRI/URI/URL identifying the project to be used, or\n"
                               "`<publisher>/<name>` shorthand for `pkg:kestro/<publisher>/<name>`.\n"
                               "Paths must use `--path`"),
                    parse_usage_iri_arg()));
  Arg path = with_short(option("path", "path", "PATH",
                               "Path to the project to be added. Since every usage is identified by an\n"
                               "IRI, `file://` URL will be used to refer to the project."),
                        'p');
  path.long_help =
      "Path to the project to be added. Since every usage is identified by an\n"
      "IRI, `file://` URL will be used to refer to the project.\n\n"
      "Deprecation notice: using this flag makes the project not portable\n"
      "between different computers, as `file://` URL always contains an\n"
      "absolute path. `kestro experimental add --dir` records a relative path\n"
      "and, therefore, will replace this flag as soon as it gets stable.\n"
      "Currently, this flag is still necessary when the usage is on another\n"
      "drive (on Windows only) because this flag allows pointing to it, unlike\n"
      "`kestro experimental add`, which currently forbids absolute paths";
  c.arg(std::move(path));
}

void remove_locator(Command& c) {
  c.group(exactly_one("RemoveProjectLocatorArgs", {"iri", "path"}));
  c.arg(with_parser(positional("iri", "IRI",
                               "IRI identifying the project usage to be removed, or\n"
                               "`<publisher>/<name>` shorthand for `pkg:kestro/<publisher>/<name>`.\n"
                               "Paths must use `--path`"),
                    parse_usage_iri_arg()));
  c.arg(with_short(option("path", "path", "PATH",
                          "Path to the project to be removed from usages. Since every usage is\n"
                          "identified by an IRI, the path will be transformed into a `file://` URL"),
                   'p'));
}

void clone_locator(Command& c) {
  c.group(exactly_one("CloneProjectLocatorArgs", {"auto_location", "iri", "path"}));
  c.arg(positional("auto_location", "LOCATOR",
                   "Clone the project from a given locator, trying to parse it as an\n"
                   "IRI/URI/URL and otherwise falling back to using it as a path"));
  Arg iri = with_parser(with_short(option("iri", "iri", "IRI", "IRI/URI/URL identifying the project to be cloned"), 'i'),
                        parse_iri_arg());
  iri.visible_aliases = {"uri", "url"};
  c.arg(std::move(iri));
  c.arg(with_short(option("path", "path", "PATH",
                          "Path to clone the project from. If version is also\n"
                          "given, verifies that the project has the given version"),
                   's'));
}

void exp_add_locator(Command& c) {
  c.group(exactly_one("ExpAddProjectLocatorArgs", {"dir", "kpar_path"}));
  c.arg(option("dir", "dir", "DIR", "Add a project from a given directory path. Path can be relative\nor absolute"));
  c.arg(option("kpar_path", "kpar-path", "KPAR_PATH",
               "Add a project from a KPAR at a given path. Path can be relative\nor absolute"));
}

// ---- the texts shared by several commands ------------------------------------

constexpr const char* kNoPrune = "Don't remove projects that are no longer needed from `.kestro`";
constexpr const char* kNoSync = "Do not automatically install dependencies. Implies `--no-prune`";
constexpr const char* kAddNoLock = "Do not automatically resolve dependencies (and generate\nlockfile). Implies `--no-sync`";
constexpr const char* kRemoveNoLock = "Do not automatically generate/update the lockfile. Implies `--no-sync`";

void lock_sync_prune(Command& c, const char* no_lock) {
  c.arg(flag("no_lock", "no-lock", no_lock));
  c.arg(flag("no_sync", "no-sync", kNoSync));
  c.arg(flag("no_prune", "no-prune", kNoPrune));
}

// ---- project commands ---------------------------------------------------------

Command init_command() {
  Command c = command("init", "");
  c.group(record_group("Init", {"path", "name", "publisher", "version", "no_semver", "license", "no_spdx"}));
  c.arg(positional("path", "PATH", "The path to use for the project. Defaults to current directory"));
  c.arg(option("name", "name", "NAME", "The name of the project. Defaults to the directory name"));
  Arg publisher = option("publisher", "publisher", "PUBLISHER",
                         "The publisher of the project. Should be the person/team/organization\n"
                         "developing the project. It is (together with name) used\n"
                         "to uniquely refer to a project by other projects when added as a\n"
                         "usage (dependency)");
  publisher.required = true;
  c.arg(std::move(publisher));
  c.arg(option("version", "version", "VERSION", "Set the version in SemVer 2.0 format. Defaults to `0.0.1`"));
  Arg no_semver = flag("no_semver", "no-semver", "Don't require version to conform to SemVer");
  no_semver.requires_ids = {"version"};
  c.arg(std::move(no_semver));
  Arg license = option("license", "license", "LICENSE",
                       "Set the license in the form of an SPDX license identifier\nDefaults to omitting the license field");
  license.hidden_aliases = {"licence"};
  c.arg(std::move(license));
  Arg no_spdx = flag("no_spdx", "no-spdx", "Don't require license to be an SPDX expression");
  no_spdx.requires_ids = {"license"};
  c.arg(std::move(no_spdx));
  c.about = "Create a new project";
  return c;
}

Command new_command() {
  Command c = command("new", "");
  c.group(record_group("New", {"args"}));
  Arg args = positional("args", "ARGS", "");
  args.arity = Arity::Trailing;
  c.arg(std::move(args));
  c.hidden = true;
  return c;
}

Command add_command() {
  Command c = command("add", "");
  c.group(record_group("Add", {}));
  add_locator(c);
  c.arg(positional("version_constraint", "VERSION_CONSTRAINT",
                   "A constraint on the allowed versions of a used project.\n"
                   "Assumes that the project being added uses Semantic Versioning.\n"
                   "Version constraints use the same requirement syntax as Rust's Cargo.\n"
                   "Examples: `1.2.3`, `<2`, `>=3`. For details, see the user\n"
                   "guide's `Project information and metadata` section"));
  lock_sync_prune(c, kAddNoLock);
  resolution_options(c);
  project_source_options(c);
  c.about = "Add usage to project information";
  return c;
}

Command remove_command() {
  Command c = command("remove", "");
  c.group(record_group("Remove", {}));
  remove_locator(c);
  lock_sync_prune(c, kRemoveNoLock);
  resolution_options(c);
  c.about = "Remove usage from project information";
  c.hidden_aliases = {"rm"};
  return c;
}

Command clone_command() {
  Command c = command("clone", "");
  c.group(record_group("Clone", {}));
  clone_locator(c);
  c.arg(with_short(option("target", "target", "TARGET",
                          "Path to clone the project into. If already exists, must\n"
                          "be an empty directory. Defaults to current directory"),
                   't'));
  c.arg(with_short(option("version", "version", "VERSION",
                          "Version of the project to clone. Defaults to the latest\n"
                          "version according to SemVer 2.0; for `pkg:kestro` projects\n"
                          "pre-releases are ignored unless this names one"),
                   'V'));
  c.arg(flag("no_deps", "no-deps", "Don't resolve or install dependencies"));
  resolution_options(c);
  c.about =
      "Clone a project to a specified directory.\nEquivalent to manually downloading, extracting the\n"
      "project to the directory and running `kestro sync`";
  return c;
}

Command include_command() {
  Command c = command("include", "");
  c.group(record_group("Include", {"paths", "compute_checksum", "no_index_symbols"}));
  Arg paths = positional("paths", "PATHS", "File(s) to include in the project");
  paths.arity = Arity::OneOrMore;
  c.arg(std::move(paths));
  c.arg(flag("compute_checksum", "compute-checksum", "Compute and add each file's (current) SHA256 checksum"));
  c.arg(flag("no_index_symbols", "no-index-symbols", "Do not detect and add top level symbols to index"));
  c.about =
      "Include model interchange files in project metadata. This can\n"
      "be used multiple times for the same file to update its metadata,\n"
      "as the metadata will not be updated automatically";
  return c;
}

Command exclude_command() {
  Command c = command("exclude", "Exclude model interchange file from project metadata");
  c.group(record_group("Exclude", {"paths"}));
  Arg paths = positional("paths", "PATHS", "File(s) to exclude from the project");
  paths.arity = Arity::OneOrMore;
  c.arg(std::move(paths));
  return c;
}

Command build_command() {
  Command c = command("build", "");
  c.group(record_group("Build", {"path", "compression", "allow_path_usage", "keep_index"}));
  c.arg(positional("path", "PATH",
                   "Path for the finished KPAR or KPARs. When building a\n"
                   "workspace, it is a path to the folder to write the KPARs to\n"
                   "(default: `<current-workspace>/output`). When building a single\n"
                   "project, it is a path to the KPAR file to write (default\n"
                   "`<current-workspace>/output/<project name>-<version>.kpar` or\n"
                   "`<current-project>/output/<project name>-<version>.kpar` depending\n"
                   "on whether the current project belongs to a workspace or not)."));
  c.arg(with_short(with_values(option("compression", "compression", "COMPRESSION",
                                      "Method to compress the files in the KPAR"),
                               kpar_compression_values(), deflated_default()),
                   'c'));
  c.arg(with_short(flag("allow_path_usage", "allow-path-usage",
                        "Allow usages of local paths (`file://`).\n"
                        "Warning: using this makes the project not portable between different\n"
                        "computers, as `file://` URL always contains an absolute path.\n"
                        "For multiple related projects, consider using a workspace instead"),
                   'a'));
  c.arg(flag("keep_index", "keep-index", "Don't update exported symbols index in the built KPAR metadata"));
  c.about =
      "Build a KerML Project Archive (KPAR). If executed in a workspace\n"
      "outside of a project, builds all projects in the workspace.";
  return c;
}

Command publish_command() {
  Command c = command("publish", "Publish a KPAR to a kestro package index");
  c.group(record_group("Publish", {"path", "index", "trusted_publishing"}));
  c.arg(positional("path", "PATH",
                   "Path to the KPAR file to publish. If not provided, will look\n"
                   "for a KPAR in the output directory with the current project's\n"
                   "name and version"));
  Arg index = with_parser(option("index", "index", "URL",
                                 "Configured index URL to publish to (e.g. " + std::string(kExampleIndexUrl) +
                                     ")\nThe index must advertise a publish endpoint: its\n"
                                     "kestro-index-config.json must set `api_root`"),
                          parse_index_location_arg());
  index.required = true;
  c.arg(std::move(index));
  c.arg(with_values(option("trusted_publishing", "trusted-publishing", "MODE",
                           "How to use CI trusted publishing for acquiring publish credentials"),
                    trusted_publishing_values(), "auto"));
  return c;
}

// ---- dependency, environment and information commands ---------------------------

// A nested set that must be used: alone, the command shows its help.
Command needs_subcommand(Command c) {
  c.subcommand_required = true;
  c.help_when_empty = true;
  return c;
}

Command auth_command() {
  Command c = command("auth", "Manage stored credentials for package indexes");
  c.group(record_group("Auth", {}));
  auto index_url = [](std::string first, std::string last) {
    return positional("index_url", "INDEX_URL", first + std::string(kExampleIndexUrl) + last);
  };
  c.subcommand(command("status",
                       "Show the credentials kestro will authenticate with: stored index\n"
                       "logins and `KESTRO_CRED_*` environment credentials, marking the\n"
                       "entries that apply to the default index. For stored logins,\n"
                       "`validated (read, api)` names the index endpoints that accepted\n"
                       "the token at login; `not validated` means no endpoint exercised\n"
                       "it. Never shows secrets"));
  Command login = command("login",
                          "Store a bearer token for an index. The token is read from a hidden\n"
                          "prompt, or from standard input with `--token-stdin`, never from a\n"
                          "command-line argument. The token is validated against the index\n"
                          "before it is stored; a token the index rejects is not stored");
  login.group(record_group("Login", {"index_url", "token_stdin"}));
  login.arg(index_url("Index URL to log in to (e.g. ",
                      ").\nURL templates are accepted (see `--index` in `kestro add\n--help`); the credential is scoped "
                      "to the template's literal\nprefix. Defaults to the default index"));
  login.arg(flag("token_stdin", "token-stdin",
                 "Read the token from standard input (trimming one trailing\nnewline) instead of prompting"));
  c.subcommand(std::move(login));
  Command whoami = command("whoami",
                           "Show who the index API identifies you as: sends one authenticated\n"
                           "request to the index API (`v1/whoami`) with the credential kestro\n"
                           "would use (`KESTRO_CRED_*` environment credentials take precedence\n"
                           "over stored credentials). Query-only: nothing is stored or refreshed");
  whoami.group(record_group("Whoami", {"index_url"}));
  whoami.arg(index_url("Index URL to query (e.g. ",
                       ").\nURL templates are accepted (see `--index` in `kestro add\n--help`); the index must "
                       "advertise an API in its discovery\nconfiguration. Defaults to the default index"));
  c.subcommand(std::move(whoami));
  Command logout = command("logout", "Remove a stored index login");
  logout.group(record_group("Logout", {"index_url"}));
  logout.arg(index_url("Index URL to log out from (e.g. ",
                       ").\nURL templates are accepted (see `--index` in `kestro add\n--help`). Defaults to the default "
                       "index"));
  c.subcommand(std::move(logout));
  return needs_subcommand(std::move(c));
}

Command lock_command() {
  Command c = command("lock", "");
  c.group(record_group("Lock", {}));
  resolution_options(c);
  c.about = "Create or update lockfile";
  return c;
}

Command env_command() {
  Command c = command("env", "Create a local `.kestro` directory for installing dependencies");
  c.group(record_group("Env", {}));
  Command install = command("install", "");
  install.group(record_group("Install", {}));
  Arg iri = with_parser(positional("iri", "IRI", "IRI identifying the project to be installed"), parse_iri_arg());
  iri.required = true;
  install.arg(iri);
  install.arg(positional("version", "VERSION",
                         "Version to be installed. Defaults to the latest version\n"
                         "according to SemVer 2.0; for `pkg:kestro` projects\n"
                         "pre-releases are ignored unless this names one"));
  install.arg(option("path", "path", "PATH", "Path to interchange project"));
  install_options(install);
  resolution_options(install);
  install.about = "Install project in `.kestro`";
  c.subcommand(std::move(install));
  Command uninstall = command("uninstall", "Uninstall project in `.kestro`");
  uninstall.group(record_group("Uninstall", {"iri", "version"}));
  iri.help = "IRI identifying the project to be uninstalled";
  uninstall.arg(iri);
  uninstall.arg(positional("version", "VERSION", "Version to be uninstalled"));
  c.subcommand(std::move(uninstall));
  c.subcommand(command("list", "List projects installed in `.kestro`"));
  Command sources = command("sources", "List source files for an installed project and\n(optionally) its dependencies");
  sources.group(record_group("Sources", {}));
  iri.help = "IRI of the (already installed) project for which\nto enumerate source files";
  sources.arg(iri);
  sources.arg(with_parser(positional("version", "VERSION", "Version of project to list sources for"),
                          parse_version_req_arg()));
  sources_options(sources);
  c.subcommand(std::move(sources));
  return c;
}

Command index_command() {
  Command c = command("index", "Manage a local kestro index");
  c.group(record_group("Index", {}));
  auto root = [](bool init) {
    return option("index_root", "index-root", "INDEX_ROOT",
                  init ? "Path to the index directory. If not provided, current working directory is used.\n"
                         "If the directory does not exist, it is created"
                       : "Path to the index directory. If not provided, current working directory is used");
  };
  auto required = [](Arg a) {
    a.required = true;
    return a;
  };
  Command init = command("init", "Create a local kestro index");
  init.group(record_group("Init", {"index_root"}));
  init.arg(root(true));
  c.subcommand(std::move(init));
  Command add = command("add", "Add a KPAR to a local kestro index");
  add.group(record_group("Add", {"iri", "kpar_path", "index_root"}));
  add.arg(positional("iri", "IRI",
                     "Project identifier. Default is `pkg:kestro/<publisher>/<name>`, if publisher is\n"
                     "specified in .project.json. Omitting both publisher and IRI is an error"));
  add.arg(required(option("kpar_path", "kpar-path", "KPAR_PATH", "Path to KPAR")));
  add.arg(root(false));
  c.subcommand(std::move(add));
  Command yank = command("yank",
                         "Yank a project version from a local index. The yanked version will still be available\n"
                         "and used to sync from an existing lockfile, but new lockfiles will not use it.\n"
                         "A yanked version cannot be un-yanked");
  yank.group(record_group("Yank", {"iri", "version", "index_root"}));
  yank.arg(required(positional("iri", "IRI", "Project identifier")));
  yank.arg(required(option("version", "version", "VERSION", "Version to yank")));
  yank.arg(root(false));
  c.subcommand(std::move(yank));
  Command remove = command("remove",
                           "Remove a project or a specific version of a project from a local kestro index.\n"
                           "This breaks the existing lockfiles which use the to-be-removed project or version.\n"
                           "Instead it is recommended to yank a specific version and release a new fixed version.\n"
                           "Project or version removal cannot be undone");
  remove.group(record_group("Remove", {}));
  remove.arg(required(positional("iri", "IRI", "Project identifier")));
  remove.group(exactly_one("IndexRemoveTarget", {"version", "project"}));
  remove.arg(option("version", "version", "VERSION", "Version to remove"));
  remove.arg(flag("project", "project", "Remove the whole project"));
  remove.arg(root(false));
  c.subcommand(std::move(remove));
  return needs_subcommand(std::move(c));
}

Command sync_command() {
  Command c = command("sync", "");
  c.group(record_group("Sync", {}));
  resolution_options(c);
  c.arg(flag("no_prune", "no-prune", kNoPrune));
  c.about = "Sync `.kestro` to lockfile, creating a lockfile and `.kestro` if needed";
  return c;
}

Command info_command() {
  Command c = command("info", "");
  c.group(record_group("Info", {}));
  c.arg(in_group(with_short(option("path", "path", "PATH",
                                   "Use the project at the given path instead of the current project"),
                            'p'),
                 "location"));
  Arg iri = in_group(
      with_parser(with_short(option("iri", "iri", "IRI",
                                    "Use the project with the given IRI/URI/URL instead of the current project"),
                             'i'),
                  parse_iri_arg()),
      "location");
  iri.visible_aliases = {"uri", "url"};
  c.arg(std::move(iri));
  c.arg(in_group(with_short(option("auto_location", "auto-location", "LOCATOR",
                                   "Use the project with the given locator, trying to parse it as\n"
                                   "an IRI/URI/URL and otherwise falling back to using it as a path"),
                            'a'),
                 "location"));
  Arg no_normalise = flag("no_normalise", "no-normalise", "Do not try to normalise the IRI/URI when resolving");
  no_normalise.visible_aliases = {"no-normalize"};
  c.arg(std::move(no_normalise));
  resolution_options(c);
  InfoCommand::augment_subcommands(c);
  c.about =
      "Describe or modify a local project (either the current one\n"
      "or one at a given path) or resolve and describe a project\n"
      "at a specified path or IRI/URL";
  return c;
}

Command sources_command() {
  Command c = command("sources", "");
  c.group(record_group("Sources", {}));
  sources_options(c);
  c.about =
      "List source files for the current project and (optionally)\n"
      "its dependencies available in `.kestro`. Requires that\n"
      "`.kestro` is up to date, so it's recommended to run\n"
      "`kestro sync` prior to this";
  return c;
}

Command experimental_command() {
  Command c = command("experimental",
                      "Experimental commands. Likely to change in incompatible ways or be\nremoved in the future.");
  c.group(record_group("Experimental", {}));
  Command add = command("add", "");
  add.group(record_group("Add", {}));
  exp_add_locator(add);
  lock_sync_prune(add, kAddNoLock);
  resolution_options(add);
  add.about = "Add a usage";
  c.subcommand(std::move(add));
  Command remove = command("remove", "");
  remove.group(record_group("Remove", {}));
  Arg publisher = positional("publisher", "PUBLISHER", "");
  publisher.required = true;
  Arg name = positional("name", "NAME", "");
  name.required = true;
  remove.arg(std::move(publisher));
  remove.arg(std::move(name));
  lock_sync_prune(remove, kRemoveNoLock);
  resolution_options(remove);
  remove.about = "Remove a usage";
  c.subcommand(std::move(remove));
  return needs_subcommand(std::move(c));
}

void augment_subcommands(Command& root) {
  root.subcommand(init_command());
  root.subcommand(new_command());
  root.subcommand(add_command());
  root.subcommand(remove_command());
  root.subcommand(clone_command());
  root.subcommand(include_command());
  root.subcommand(exclude_command());
  root.subcommand(build_command());
  root.subcommand(publish_command());
  root.subcommand(auth_command());
  root.subcommand(lock_command());
  root.subcommand(env_command());
  root.subcommand(index_command());
  root.subcommand(sync_command());
  root.subcommand(info_command());
  root.subcommand(sources_command());
  root.subcommand(command("print-root", "Prints the root directory of the current project"));
  root.subcommand(experimental_command());
}

std::shared_ptr<const HelpStyles> cli_styles() {
  HelpStyles s;
  s.header = Style{Color::Green, {}, {}, kBold};
  s.error = Style{Color::Red, {}, {}, kBold};
  s.usage = Style{Color::Green, {}, {}, kBold};
  s.literal = Style{Color::Cyan, {}, {}, kBold};
  s.placeholder = Style{Color::Cyan, {}, {}, 0};
  s.valid = Style{Color::Cyan, {}, {}, kBold};
  s.invalid = Style{Color::Yellow, {}, {}, kBold};
  s.context = Style{};
  return std::make_shared<const HelpStyles>(s);
}

void global_options(Command& root) {
  root.group(record_group("GlobalOptions", {"verbose", "quiet", "no_config", "config_file", "help"}));
  auto global = [](Arg a) {
    a.global = true;
    a.heading = "Global options";
    return a;
  };
  root.arg(global(in_group(with_short(flag("verbose", "verbose", "Use verbose output"), 'v'), "log-level")));
  root.arg(global(in_group(with_short(flag("quiet", "quiet", "Do not output log messages"), 'q'), "log-level")));
  Arg no_config = global(flag("no_config", "no-config", "Disable discovery of configuration files"));
  no_config.env = "KESTRO_NO_CONFIG";
  no_config.env_value = env_now("KESTRO_NO_CONFIG");
  root.arg(std::move(no_config));
  Arg config_file =
      global(option("config_file", "config-file", "CONFIG_FILE", "Give path to `kestro.toml` to use for configuration"));
  config_file.env = "KESTRO_CONFIG_FILE";
  config_file.env_value = env_now("KESTRO_CONFIG_FILE");
  root.arg(std::move(config_file));
  Arg help = global(with_short(flag("help", "help", "Print help"), 'h'));
  help.is_help = true;
  root.arg(std::move(help));
}

}  // namespace

Command build_cli_command() {
  Command root("kestro");
  root.group(record_group("Args", {}));
  global_options(root);
  augment_subcommands(root);
  root.subcommand_required = true;
  root.help_when_empty = true;
  Arg version = with_short(flag("version", "version", "Display the kestro version"), 'V');
  version.is_version = true;
  root.arg(std::move(version));
  root.about = "A package manager for SysML v2 and KerML";
  root.long_about = std::string(kLongAbout);
  root.version = std::string(kVersion);
  root.styles = cli_styles();
  root.author = std::string(kAuthor);
  root.help_template =
      "{before-help}{about-with-newline}\n{usage-heading} {usage}\n\n{all-args}\n\n{name} v{version}\n"
      "Developed by: {author-with-newline}\n{after-help}";
  root.finalize();
  return root;
}

}  // namespace kestro::cli
