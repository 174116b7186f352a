// Reading the records of a parsed `kestro` command line out of the matches,
// and the parse entries.
#include <fmt/format.h>

#include "kestro/cli/cli.hpp"
#include "matches_read.hpp"

namespace kestro::cli {

namespace detail {

ParseError missing_subcommand() {
  return ParseError(ErrorKind::MissingSubcommand, "a subcommand is required but one was not provided");
}

ParseError unrecognized_subcommand(std::string_view name) {
  return ParseError(ErrorKind::InvalidSubcommand, fmt::format("the subcommand '{}' wasn't recognized", name));
}

ParseError missing_argument(std::string_view id) {
  return ParseError(ErrorKind::MissingRequiredArgument,
                    fmt::format("the following required argument was not provided: {}", id));
}

std::expected<ArgMatches::Sub, ParseError> take_subcommand(ArgMatches& m) {
  auto sub = m.remove_subcommand();
  if (!sub) return std::unexpected(missing_subcommand());
  return std::move(*sub);
}

}  // namespace detail

ParseError reader_error(ErrorKind kind, std::string text) { return ParseError(kind, std::move(text)); }

namespace {

using detail::take_flag;
using detail::take_required;

template <typename T>
std::optional<T> take(ArgMatches& m, std::string_view id) {
  return m.remove_one<T>(id);
}

// Reads flags into the fields in order; the first missing one fails.
template <typename... Fields>
std::expected<void, ParseError> flags(ArgMatches& m, Fields... fields) {
  std::expected<void, ParseError> out;
  auto one = [&](std::pair<std::string_view, bool*> f) {
    if (!out) return;
    auto v = take_flag(m, f.first);
    if (!v) out = std::unexpected(v.error());
    else *f.second = *v;
  };
  (one(fields), ...);
  return out;
}

ResolutionOptions read_resolution(ArgMatches& m) {
  ResolutionOptions r;
  r.index = m.remove_many<std::string>("index");
  r.default_index = m.remove_many<std::string>("default_index");
  r.no_index = take<bool>(m, "no_index").value_or(false);
  r.include_std = take<bool>(m, "include_std").value_or(false);
  return r;
}

ProjectSourceOptions read_project_source(ArgMatches& m) {
  ProjectSourceOptions r;
  r.from_path = take<std::string>(m, "from_path");
  r.from_url = take<iri::Iri>(m, "from_url");
  r.as_editable = take<std::string>(m, "as_editable");
  r.as_local_src = take<std::string>(m, "as_local_src");
  r.as_local_kpar = take<std::string>(m, "as_local_kpar");
  r.as_remote_src = take<iri::Iri>(m, "as_remote_src");
  r.as_remote_kpar = take<iri::Iri>(m, "as_remote_kpar");
  r.as_remote_git = take<iri::Iri>(m, "as_remote_git");
  return r;
}

std::expected<InstallOptions, ParseError> read_install(ArgMatches& m) {
  InstallOptions r;
  if (auto ok = flags(m, std::pair{std::string_view("allow_overwrite"), &r.allow_overwrite},
                      std::pair{std::string_view("allow_multiple"), &r.allow_multiple},
                      std::pair{std::string_view("no_deps"), &r.no_deps});
      !ok)
    return std::unexpected(ok.error());
  return r;
}

std::expected<SourcesOptions, ParseError> read_sources(ArgMatches& m) {
  SourcesOptions r;
  auto deps = take_required<std::size_t>(m, "deps");
  if (!deps) return std::unexpected(deps.error());
  r.deps = static_cast<DependencySources>(*deps);
  auto only = take_flag(m, "only_deps");
  if (!only) return std::unexpected(only.error());
  r.only_deps = *only;
  return r;
}

using F = std::pair<std::string_view, bool*>;

std::expected<AuthCommand, ParseError> read_auth(ArgMatches& parent) {
  auto sub = detail::take_subcommand(parent);
  if (!sub) return std::unexpected(sub.error());
  ArgMatches& m = *sub->matches;
  if (sub->name == "status") return AuthCommand{AuthCommand::Status{}};
  if (sub->name == "login") {
    AuthCommand::Login l{take<std::string>(m, "index_url")};
    if (auto ok = flags(m, F{"token_stdin", &l.token_stdin}); !ok) return std::unexpected(ok.error());
    return AuthCommand{l};
  }
  if (sub->name == "whoami") return AuthCommand{AuthCommand::Whoami{take<std::string>(m, "index_url")}};
  if (sub->name == "logout") return AuthCommand{AuthCommand::Logout{take<std::string>(m, "index_url")}};
  return std::unexpected(detail::unrecognized_subcommand(sub->name));
}

std::expected<EnvCommand, ParseError> read_env(ArgMatches& parent) {
  auto sub = detail::take_subcommand(parent);
  if (!sub) return std::unexpected(sub.error());
  ArgMatches& m = *sub->matches;
  if (sub->name == "list") return EnvCommand{EnvCommand::List{}};
  if (sub->name != "install" && sub->name != "uninstall" && sub->name != "sources")
    return std::unexpected(detail::unrecognized_subcommand(sub->name));
  auto iri = take_required<iri::Iri>(m, "iri");
  if (!iri) return std::unexpected(iri.error());
  if (sub->name == "install") {
    EnvCommand::Install r{std::move(*iri), take<std::string>(m, "version"), take<std::string>(m, "path"), {}, {}};
    auto install = read_install(m);
    if (!install) return std::unexpected(install.error());
    r.install = *install;
    r.resolution = read_resolution(m);
    return EnvCommand{std::move(r)};
  }
  if (sub->name == "uninstall")
    return EnvCommand{EnvCommand::Uninstall{std::move(*iri), take<std::string>(m, "version")}};
  EnvCommand::Sources r{std::move(*iri), take<semver::VersionReq>(m, "version"), {}};
  auto sources = read_sources(m);
  if (!sources) return std::unexpected(sources.error());
  r.sources = *sources;
  return EnvCommand{std::move(r)};
}

std::expected<IndexCommand, ParseError> read_index(ArgMatches& parent) {
  auto sub = detail::take_subcommand(parent);
  if (!sub) return std::unexpected(sub.error());
  ArgMatches& m = *sub->matches;
  const std::string& name = sub->name;
  if (name == "init") return IndexCommand{IndexCommand::Init{take<std::string>(m, "index_root")}};
  if (name == "add") {
    auto iri = take<std::string>(m, "iri");
    auto kpar = take_required<std::string>(m, "kpar_path");
    if (!kpar) return std::unexpected(kpar.error());
    return IndexCommand{IndexCommand::Add{std::move(iri), std::move(*kpar), take<std::string>(m, "index_root")}};
  }
  if (name == "yank" || name == "remove") {
    auto iri = take_required<std::string>(m, "iri");
    if (!iri) return std::unexpected(iri.error());
    if (name == "yank") {
      auto version = take_required<std::string>(m, "version");
      if (!version) return std::unexpected(version.error());
      return IndexCommand{IndexCommand::Yank{std::move(*iri), std::move(*version), take<std::string>(m, "index_root")}};
    }
    IndexRemoveTarget target{take<std::string>(m, "version"), false};
    auto project = take_flag(m, "project");
    if (!project) return std::unexpected(project.error());
    target.project = *project;
    return IndexCommand{IndexCommand::Remove{std::move(*iri), std::move(target), take<std::string>(m, "index_root")}};
  }
  return std::unexpected(detail::unrecognized_subcommand(name));
}

std::expected<ExperimentalCommand, ParseError> read_experimental(ArgMatches& parent) {
  auto sub = detail::take_subcommand(parent);
  if (!sub) return std::unexpected(sub.error());
  ArgMatches& m = *sub->matches;
  if (sub->name == "add") {
    ExperimentalCommand::Add r;
    r.locator = ExpAddProjectLocatorArgs{take<std::string>(m, "dir"), take<std::string>(m, "kpar_path")};
    if (auto ok = flags(m, F{"no_lock", &r.no_lock}, F{"no_sync", &r.no_sync}, F{"no_prune", &r.no_prune}); !ok)
      return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    return ExperimentalCommand{std::move(r)};
  }
  if (sub->name == "remove") {
    ExperimentalCommand::Remove r;
    auto publisher = take_required<std::string>(m, "publisher");
    if (!publisher) return std::unexpected(publisher.error());
    auto name = take_required<std::string>(m, "name");
    if (!name) return std::unexpected(name.error());
    r.publisher = std::move(*publisher);
    r.name = std::move(*name);
    if (auto ok = flags(m, F{"no_lock", &r.no_lock}, F{"no_sync", &r.no_sync}, F{"no_prune", &r.no_prune}); !ok)
      return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    return ExperimentalCommand{std::move(r)};
  }
  return std::unexpected(detail::unrecognized_subcommand(sub->name));
}

using C = CliCommand;

std::expected<CliCommand, ParseError> read_command(const std::string& name, ArgMatches& m) {
  if (name == "init") {
    C::Init r;
    r.path = take<std::string>(m, "path");
    r.name = take<std::string>(m, "name");
    auto publisher = take_required<std::string>(m, "publisher");
    if (!publisher) return std::unexpected(publisher.error());
    r.publisher = std::move(*publisher);
    r.version = take<std::string>(m, "version");
    if (auto ok = flags(m, F{"no_semver", &r.no_semver}); !ok) return std::unexpected(ok.error());
    r.license = take<std::string>(m, "license");
    if (auto ok = flags(m, F{"no_spdx", &r.no_spdx}); !ok) return std::unexpected(ok.error());
    return C{std::move(r)};
  }
  if (name == "new") return C{C::New{m.remove_many<std::string>("args")}};
  if (name == "add") {
    C::Add r;
    r.locator = AddProjectLocatorArgs{take<iri::Iri>(m, "iri"), take<std::string>(m, "path")};
    r.version_constraint = take<std::string>(m, "version_constraint");
    if (auto ok = flags(m, F{"no_lock", &r.no_lock}, F{"no_sync", &r.no_sync}, F{"no_prune", &r.no_prune}); !ok)
      return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    r.source = std::make_unique<ProjectSourceOptions>(read_project_source(m));
    return C{std::move(r)};
  }
  if (name == "remove") {
    C::Remove r;
    r.locator = RemoveProjectLocatorArgs{take<iri::Iri>(m, "iri"), take<std::string>(m, "path")};
    if (auto ok = flags(m, F{"no_lock", &r.no_lock}, F{"no_sync", &r.no_sync}, F{"no_prune", &r.no_prune}); !ok)
      return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    return C{std::move(r)};
  }
  if (name == "clone") {
    C::Clone r;
    r.locator = CloneProjectLocatorArgs{take<std::string>(m, "auto_location"), take<iri::Iri>(m, "iri"),
                                        take<std::string>(m, "path")};
    r.target = take<std::string>(m, "target");
    r.version = take<std::string>(m, "version");
    if (auto ok = flags(m, F{"no_deps", &r.no_deps}); !ok) return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    return C{std::move(r)};
  }
  if (name == "include") {
    C::Include r{m.remove_many<std::string>("paths")};
    if (auto ok = flags(m, F{"compute_checksum", &r.compute_checksum}, F{"no_index_symbols", &r.no_index_symbols}); !ok)
      return std::unexpected(ok.error());
    return C{std::move(r)};
  }
  if (name == "exclude") return C{C::Exclude{m.remove_many<std::string>("paths")}};
  if (name == "build") {
    C::Build r;
    r.path = take<std::string>(m, "path");
    auto compression = take_required<std::size_t>(m, "compression");
    if (!compression) return std::unexpected(compression.error());
    r.compression = static_cast<KparCompression>(*compression);
    if (auto ok = flags(m, F{"allow_path_usage", &r.allow_path_usage}, F{"keep_index", &r.keep_index}); !ok)
      return std::unexpected(ok.error());
    return C{std::move(r)};
  }
  if (name == "publish") {
    auto path = take<std::string>(m, "path");
    auto index = take_required<index::IndexLocation>(m, "index");
    if (!index) return std::unexpected(index.error());
    auto mode = take_required<std::size_t>(m, "trusted_publishing");
    if (!mode) return std::unexpected(mode.error());
    return C{C::Publish{std::move(path), std::move(*index), static_cast<TrustedPublishingMode>(*mode)}};
  }
  if (name == "auth") {
    auto auth = read_auth(m);
    if (!auth) return std::unexpected(auth.error());
    return C{C::Auth{std::move(*auth)}};
  }
  if (name == "lock") return C{C::Lock{read_resolution(m)}};
  if (name == "env") {
    C::Env r;
    if (m.subcommand() && EnvCommand::has_subcommand(m.subcommand()->name)) {
      auto env = read_env(m);
      if (!env) return std::unexpected(env.error());
      r.command = std::move(*env);
    }
    return C{std::move(r)};
  }
  if (name == "index") {
    auto index = read_index(m);
    if (!index) return std::unexpected(index.error());
    return C{C::Index{std::move(*index)}};
  }
  if (name == "sync") {
    C::Sync r{read_resolution(m)};
    if (auto ok = flags(m, F{"no_prune", &r.no_prune}); !ok) return std::unexpected(ok.error());
    return C{std::move(r)};
  }
  if (name == "info") {
    C::Info r;
    r.path = take<std::string>(m, "path");
    r.iri = take<iri::Iri>(m, "iri");
    r.auto_location = take<std::string>(m, "auto_location");
    if (auto ok = flags(m, F{"no_normalise", &r.no_normalise}); !ok) return std::unexpected(ok.error());
    r.resolution = read_resolution(m);
    if (m.subcommand() && InfoCommand::has_subcommand(m.subcommand()->name)) {
      auto info = InfoCommand::from_arg_matches(m);
      if (!info) return std::unexpected(info.error());
      r.command = std::move(*info);
    }
    return C{std::move(r)};
  }
  if (name == "sources") {
    auto sources = read_sources(m);
    if (!sources) return std::unexpected(sources.error());
    return C{C::Sources{*sources}};
  }
  if (name == "print-root") return C{C::PrintRoot{}};
  if (name == "experimental") {
    auto exp = read_experimental(m);
    if (!exp) return std::unexpected(exp.error());
    return C{C::Experimental{std::move(*exp)}};
  }
  return std::unexpected(detail::unrecognized_subcommand(name));
}

}  // namespace

bool EnvCommand::has_subcommand(std::string_view name) {
  return name == "install" || name == "uninstall" || name == "list" || name == "sources";
}

std::expected<CliCommand, ParseError> CliCommand::from_arg_matches(ArgMatches& matches) {
  auto sub = detail::take_subcommand(matches);
  if (!sub) return std::unexpected(sub.error());
  return read_command(sub->name, *sub->matches);
}

std::expected<Args, ParseError> Args::from_arg_matches(ArgMatches& m) {
  GlobalOptions g;
  if (auto ok = flags(m, F{"verbose", &g.verbose}, F{"quiet", &g.quiet}, F{"no_config", &g.no_config}); !ok)
    return std::unexpected(ok.error());
  g.config_file = take<std::string>(m, "config_file");
  g.help = take<bool>(m, "help");
  auto command = CliCommand::from_arg_matches(m);
  if (!command) return std::unexpected(command.error());
  auto version = take<bool>(m, "version");
  return Args{std::move(g), std::move(*command), version};
}

namespace {

std::string shown_name(std::span<const std::string> words) {
  if (!words.empty())
    if (auto name = program_display_name(words.front())) return *name;
  return "kestro";
}

}  // namespace

std::expected<Args, ParseError> try_parse_args_with(Command& command, std::span<const std::string> words) {
  auto matches = parse_args(command, words);
  if (!matches) return std::unexpected(std::move(matches.error()));
  auto args = Args::from_arg_matches(*matches);
  if (args) return args;
  Command fresh = build_cli_command();
  return std::unexpected(format_error(fresh, shown_name(words), args.error().kind(), args.error().text()));
}

std::expected<Args, ParseError> try_parse_args(std::span<const std::string> words) {
  Command command = build_cli_command();
  return try_parse_args_with(command, words);
}

std::variant<std::vector<std::string>, std::string> render_long_help(std::span<const std::string> words) {
  Command command = build_cli_command();
  auto matches = parse_args(command, words);
  if (!matches) return strip_styles(matches.error().text());
  std::vector<std::string> chain;
  for (const ArgMatches* at = &*matches; at->subcommand(); at = at->subcommand()->matches.get())
    chain.push_back(at->subcommand()->name);
  return chain;
}

std::string host_long_help(std::string_view program, std::span<const std::string> args) {
  std::vector<std::string> words{std::string(program)};
  words.insert(words.end(), args.begin(), args.end());
  words.push_back("--help");
  auto first = render_long_help(words);
  if (auto* text = std::get_if<std::string>(&first)) return std::move(*text);
  std::vector<std::string> again{std::string(program), "help"};
  for (auto& name : std::get<std::vector<std::string>>(first)) again.push_back(std::move(name));
  auto second = render_long_help(again);
  if (auto* text = std::get_if<std::string>(&second)) return std::move(*text);
  Command command = build_cli_command();
  return strip_styles(render_help(command, program, {}, true));
}

}  // namespace kestro::cli
