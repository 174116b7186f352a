#include "kestro/cli/info_command.hpp"

#include <fmt/format.h>

#include <array>

#include "command_tree_parts.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/text.hpp"
#include "matches_read.hpp"

namespace kestro::cli {

using namespace decl;

ValueParser refusal_value_parser(std::string message) {
  return [message = std::move(message)](const HelpStyles&, std::string_view) -> std::expected<AnyValue, ValueError> {
    return std::unexpected(ValueError{ErrorKind::UnknownArgument, {}, {message}});
  };
}

namespace {

constexpr std::array<std::string_view, 15> kNames = {
    "name",  "publisher", "description", "version",          "license",          "maintainer", "website", "topic",
    "usage", "index",     "created",     "metamodel",        "includes-derived", "includes-implied", "checksum"};

// A refusal option: hidden, and any use fails with the message.
Arg refusal(std::string id, std::string message) {
  Arg a;
  a.id = id;
  a.long_name = id;
  a.hidden = true;
  a.utf8 = false;
  a.parser = refusal_value_parser(std::move(message));
  if (id == "clear") {
    a.arity = Arity::Flag;
    a.missing_value = "None";
  } else {
    a.value_name = id == "set" ? "SET" : id == "add" ? "ADD" : "REMOVE";
  }
  return a;
}

// At most one member: one operation per invocation.
ArgGroup one_operation(std::string id, std::vector<std::string> members) {
  return ArgGroup{std::move(id), std::move(members), false, false};
}

// The refusals of a field that is no list: `--add` points to `--set`,
// `--remove` to `--clear` or says the field cannot be unset.
void not_a_list(Command& c, std::string_view field, bool clearable) {
  std::string sub = c.name;
  c.arg(refusal("add", fmt::format("`{}` is not a list, consider using `kestro info {} --set`?", field, sub)));
  c.arg(refusal("remove", clearable
                              ? fmt::format("`{}` is not a list, consider using `kestro info {} --clear`?", field, sub)
                              : fmt::format("`{}` is not a list, and cannot be unset", field)));
}

Command unsettable(std::string name, std::string group, std::string value_name, std::string about) {
  Command c = command(name, std::move(about));
  c.group(one_operation(std::move(group), {"set", "clear", "add", "remove"}));
  c.arg(option("set", "set", std::move(value_name), ""));
  c.arg(refusal("clear", fmt::format("`{}` cannot be unset", name)));
  not_a_list(c, name, false);
  return c;
}

Command list_field(std::string name, std::string group, std::string value_name, std::string add_value_name,
                   std::string about) {
  Command c = command(std::move(name), std::move(about));
  c.group(one_operation(std::move(group), {"set", "clear", "add", "remove", "numbered"}));
  c.arg(option("set", "set", std::move(value_name), ""));
  c.arg(flag("clear", "clear", ""));
  c.arg(option("add", "add", std::move(add_value_name), ""));
  c.arg(with_parser(option("remove", "remove", "REMOVE", ""), u64_parser()));
  c.arg(flag("numbered", "numbered", "Prints a numbered list"));
  return c;
}

struct ReadOnlyTexts {
  const char* set;
  const char* clear;
  const char* add;
  const char* remove;
};

Command read_only(std::string name, std::string group, std::string about, const ReadOnlyTexts& texts, bool numbered) {
  Command c = command(std::move(name), std::move(about));
  std::vector<std::string> members = {"set", "clear", "add", "remove"};
  if (numbered) members.push_back("numbered");
  c.group(one_operation(std::move(group), std::move(members)));
  c.arg(refusal("set", texts.set));
  c.arg(refusal("clear", texts.clear));
  c.arg(refusal("add", texts.add));
  c.arg(refusal("remove", texts.remove));
  if (numbered) c.arg(flag("numbered", "numbered", "Prints a numbered list"));
  return c;
}

Command switch_field(std::string name, std::string group, std::string value_name, std::string_view field,
                     std::string about) {
  Command c = command(std::move(name), std::move(about));
  c.group(one_operation(std::move(group), {"set", "clear", "add", "remove"}));
  c.arg(with_values(with_parser(option("set", "set", std::move(value_name), ""), bool_value_parser()),
                    {{"true", "", {}, false}, {"false", "", {}, false}}, std::nullopt));
  c.arg(flag("clear", "clear", ""));
  not_a_list(c, field, true);
  return c;
}

}  // namespace

void InfoCommand::augment_subcommands(Command& info) {
  info.subcommand(unsettable("name", "Name", "NAME", "Get or set the name of the project"));
  info.subcommand(unsettable("publisher", "Publisher", "PUBLISHER", "Get or set the publisher of the project"));

  Command description = decl::command("description", "Get or set the description of the project");
  description.group(one_operation("Description", {"set", "clear", "add", "remove"}));
  description.arg(option("set", "set", "DESCRIPTION", ""));
  description.arg(flag("clear", "clear", ""));
  not_a_list(description, "description", true);
  info.subcommand(std::move(description));

  Command version = decl::command("version", "Get or set the version of the project");
  version.group(one_operation("Version", {"set", "clear", "add", "remove"}));
  version.arg(option("set", "set", "VERSION", "Set the version in SemVer 2.0 format"));
  Arg no_semver = flag("no_semver", "no-semver", "Don't require version to conform to Semantic Versioning");
  no_semver.requires_ids = {"set"};
  version.arg(std::move(no_semver));
  version.arg(refusal("clear", "`version` cannot be unset"));
  not_a_list(version, "version", false);
  info.subcommand(std::move(version));

  Command license = decl::command("license", "Get or set the license of the project");
  license.group(one_operation("License", {"set", "clear", "add", "remove"}));
  license.arg(option("set", "set", "LICENSE", "Set the license in the form of an SPDX license identifier"));
  Arg no_spdx = flag("no_spdx", "no-spdx", "Don't require license to be an SPDX expression");
  no_spdx.requires_ids = {"set"};
  license.arg(std::move(no_spdx));
  license.arg(flag("clear", "clear", "Remove the project's license"));
  not_a_list(license, "license", true);
  license.visible_aliases = {"licence"};
  info.subcommand(std::move(license));

  info.subcommand(list_field("maintainer", "Maintainer", "MAINTAINER", "ADD",
                             "Get or manipulate the list of maintainers of the project"));

  Command website = decl::command("website", "Get or set the website of the project");
  website.group(one_operation("Website", {"set", "clear", "add", "remove"}));
  website.arg(with_parser(option("set", "set", "URI", "Set the website. Must be a valid IRI/URI/URL"),
                          parse_website_iri_arg()));
  website.arg(flag("clear", "clear", ""));
  not_a_list(website, "website", true);
  info.subcommand(std::move(website));

  info.subcommand(
      list_field("topic", "Topic", "TOPIC", "TOPIC", "Get or manipulate the list of topics of the project"));

  info.subcommand(read_only("usage", "Usage", "Print project usages",
                            {"`usage` cannot be set directly, please use `kestro add` and `kestro remove`",
                             "`usage` cannot be cleared directly, please use `kestro remove`",
                             "`usage` cannot be added to directly, please use `kestro add`",
                             "`usage` cannot be removed from directly, please use `kestro remove`"},
                            true));
  info.subcommand(read_only("index", "Index", "Get project index",
                            {"`index` cannot be set directly, please use `kestro include` and `kestro exclude`",
                             "`index` cannot be cleared directly, please use `kestro exclude`",
                             "`index` cannot be added to directly, please use `kestro include` and `kestro exclude`",
                             "`index` cannot be removed from directly, please use `kestro exclude`"},
                            true));
  info.subcommand(read_only("created", "Created", "Get project metadata manifest creation time",
                            {"`created` cannot be set directly, it is automatically updated",
                             "`created` cannot be cleared, it is automatically updated",
                             "`created` cannot be added to, it is automatically updated",
                             "`created` cannot be removed from, it is automatically updated"},
                            false));

  Command metamodel = decl::command("metamodel", "Get or set the metamodel of the project");
  metamodel.group(ArgGroup{"Metamodel", {"set", "release", "release_custom", "set_custom", "clear", "add", "remove"},
                           false, true});
  metamodel.arg(with_values(
      option("set", "set", "KIND", "Set a SysML v2 or KerML metamodel. To set a custom metamodel, use `--set-custom`"),
      metamodel_kind_values(), std::nullopt));
  Arg release = with_values(option("release", "release", "YYYYMMXX",
                                   "Choose the release of the SysML v2 or KerML metamodel.\n"
                                   "SysML 2.0 and KerML 1.0 have the same release dates"),
                            metamodel_release_values(), "20250201");
  release.requires_ids = {"set"};
  metamodel.arg(std::move(release));
  Arg release_custom = with_parser(option("release_custom", "release-custom", "YYYYMMXX",
                                          "Choose a custom release of the SysML v2 or KerML metamodel"),
                                   u32_range_parser(0, 4294967295u));
  release_custom.requires_ids = {"set"};
  release_custom.conflicts_ids = {"release"};
  metamodel.arg(std::move(release_custom));
  Arg set_custom = option("set_custom", "set-custom", "METAMODEL",
                          "Set a custom metamodel. To set a SysML v2 or KerML metamodel, use `--set`");
  set_custom.conflicts_ids = {"set", "release", "release_custom"};
  metamodel.arg(std::move(set_custom));
  Arg clear = flag("clear", "clear", "");
  clear.conflicts_ids = {"set", "set_custom"};
  metamodel.arg(std::move(clear));
  not_a_list(metamodel, "metamodel", true);
  info.subcommand(std::move(metamodel));

  info.subcommand(switch_field("includes-derived", "IncludesDerived", "INCLUDES_DERIVED", "include_derived",
                               "Get or set whether the project includes derived properties"));
  info.subcommand(switch_field("includes-implied", "IncludesImplied", "INCLUDES_IMPLIED", "include_implied",
                               "Get or set whether the project includes implied properties"));
  info.subcommand(read_only("checksum", "Checksum", "Get project source file checksums",
                            {"`checksum` cannot be set directly, please use `kestro include` and `kestro exclude`",
                             "`checksum` cannot be cleared directly, please use `kestro exclude`",
                             "`checksum` cannot be added to directly, please use `kestro include`",
                             "`checksum` cannot be removed from directly, please use `kestro exclude`"},
                            true));
}

bool InfoCommand::has_subcommand(std::string_view name) {
  for (auto n : kNames)
    if (n == name) return true;
  return false;
}

namespace {

using detail::take_flag;

template <typename T>
std::optional<T> take(ArgMatches& m, std::string_view id) {
  return m.remove_one<T>(id);
}

std::expected<InfoCommand::ListEdit, ParseError> read_list(ArgMatches& m) {
  InfoCommand::ListEdit out;
  out.set = take<std::string>(m, "set");
  auto clear = take_flag(m, "clear");
  if (!clear) return std::unexpected(clear.error());
  out.clear = *clear;
  out.add = take<std::string>(m, "add");
  out.remove = take<std::uint64_t>(m, "remove");
  auto numbered = take_flag(m, "numbered");
  if (!numbered) return std::unexpected(numbered.error());
  out.numbered = *numbered;
  return out;
}

template <typename Record>
std::expected<InfoCommand, ParseError> set_and_clear(ArgMatches& m) {
  Record r;
  if constexpr (requires { r.set = take<std::string>(m, "set"); }) {
    r.set = take<std::string>(m, "set");
  } else if constexpr (std::is_same_v<Record, InfoCommand::Website>) {
    r.set = take<iri::Iri>(m, "set");
  } else {
    r.set = take<bool>(m, "set");
  }
  auto clear = take_flag(m, "clear");
  if (!clear) return std::unexpected(clear.error());
  r.clear = *clear;
  return InfoCommand{r};
}

template <typename Record>
std::expected<InfoCommand, ParseError> numbered_only(ArgMatches& m) {
  auto numbered = take_flag(m, "numbered");
  if (!numbered) return std::unexpected(numbered.error());
  return InfoCommand{Record{*numbered}};
}

}  // namespace

std::expected<InfoCommand, ParseError> InfoCommand::from_arg_matches(ArgMatches& info_matches) {
  auto sub = detail::take_subcommand(info_matches);
  if (!sub) return std::unexpected(sub.error());
  ArgMatches& m = *sub->matches;
  const std::string& name = sub->name;
  if (name == "name") return InfoCommand{Name{take<std::string>(m, "set")}};
  if (name == "publisher") return InfoCommand{Publisher{take<std::string>(m, "set")}};
  if (name == "description") return set_and_clear<Description>(m);
  if (name == "version") {
    Version v{take<std::string>(m, "set")};
    auto no_semver = take_flag(m, "no_semver");
    if (!no_semver) return std::unexpected(no_semver.error());
    v.no_semver = *no_semver;
    return InfoCommand{v};
  }
  if (name == "license") {
    License l{take<std::string>(m, "set")};
    auto no_spdx = take_flag(m, "no_spdx");
    if (!no_spdx) return std::unexpected(no_spdx.error());
    auto clear = take_flag(m, "clear");
    if (!clear) return std::unexpected(clear.error());
    l.no_spdx = *no_spdx;
    l.clear = *clear;
    return InfoCommand{l};
  }
  if (name == "maintainer" || name == "topic") {
    auto edit = read_list(m);
    if (!edit) return std::unexpected(edit.error());
    if (name == "topic") return InfoCommand{Topic{std::move(*edit)}};
    return InfoCommand{Maintainer{std::move(*edit)}};
  }
  if (name == "website") return set_and_clear<Website>(m);
  if (name == "usage") return numbered_only<Usage>(m);
  if (name == "index") return numbered_only<Index>(m);
  if (name == "created") return InfoCommand{Created{}};
  if (name == "metamodel") {
    Metamodel r;
    if (auto kind = take<std::size_t>(m, "set")) r.set = static_cast<MetamodelKind>(*kind);
    auto release = detail::take_required<std::size_t>(m, "release");
    if (!release) return std::unexpected(release.error());
    r.release = static_cast<MetamodelRelease>(*release);
    r.release_custom = take<std::uint32_t>(m, "release_custom");
    r.set_custom = take<std::string>(m, "set_custom");
    auto clear = take_flag(m, "clear");
    if (!clear) return std::unexpected(clear.error());
    r.clear = *clear;
    return InfoCommand{r};
  }
  if (name == "includes-derived") return set_and_clear<IncludesDerived>(m);
  if (name == "includes-implied") return set_and_clear<IncludesImplied>(m);
  if (name == "checksum") return numbered_only<Checksum>(m);
  return std::unexpected(detail::unrecognized_subcommand(name));
}

// ---------------------------------------------------------------------------
// The edit of a record

namespace {

[[noreturn]] void invalid_record() { throw InternalError("internal error: invalid CLI command produced"); }

template <typename Get, typename SetValue>
InfoFieldEdit single(std::optional<std::string> set, bool clear, Get get, ClearableField* clearable) {
  if (set && clear) invalid_record();
  if (set) return InfoFieldEdit{InfoFieldEdit::Set{FieldValue{SetValue{std::move(*set)}}}};
  if (clear) {
    if (!clearable) invalid_record();
    return InfoFieldEdit{InfoFieldEdit::Clear{*clearable}};
  }
  return InfoFieldEdit{InfoFieldEdit::Get{get}};
}

template <typename SetValue>
InfoFieldEdit switch_edit(std::optional<bool> set, bool clear, MetaField field, ClearableField clearable) {
  if (set && clear) invalid_record();
  if (set) return InfoFieldEdit{InfoFieldEdit::Set{FieldValue{SetValue{*set}}}};
  if (clear) return InfoFieldEdit{InfoFieldEdit::Clear{clearable}};
  return InfoFieldEdit{InfoFieldEdit::Get{field}};
}

std::optional<std::string> metamodel_text(InfoCommand::Metamodel& r) {
  if (r.set && r.release_custom) {
    std::string out;
    model::metamodel_base_iri(*r.set, out);
    return out + std::to_string(*r.release_custom);
  }
  if (r.set) return model::metamodel_base_iri(*r.set);
  if (r.set_custom) return std::move(*r.set_custom);
  return std::nullopt;
}

}  // namespace

InfoFieldEdit list_field_edit(ListField field, std::optional<std::string> set, bool clear, std::optional<std::string> add,
                              std::optional<std::uint64_t> remove) {
  int requests = int(set.has_value()) + int(clear) + int(add.has_value()) + int(remove.has_value());
  if (requests > 1) invalid_record();
  if (set) {
    std::vector<std::string> one{std::move(*set)};
    if (field == ListField::Maintainer) return InfoFieldEdit{InfoFieldEdit::Set{FieldValue{FieldValue::Maintainer{one}}}};
    return InfoFieldEdit{InfoFieldEdit::Set{FieldValue{FieldValue::Topic{one}}}};
  }
  if (clear)
    return InfoFieldEdit{
        InfoFieldEdit::Clear{field == ListField::Maintainer ? ClearableField::Maintainer : ClearableField::Topic}};
  if (add) return InfoFieldEdit{InfoFieldEdit::Add{field, {std::move(*add)}}};
  if (remove) return InfoFieldEdit{InfoFieldEdit::Remove{field, *remove}};
  return InfoFieldEdit{
      InfoFieldEdit::Get{field == ListField::Maintainer ? InfoField::Maintainer : InfoField::Topic}};
}

bool info_field_numbered(const InfoCommand& command) {
  return std::visit(
      [](const auto& r) {
        if constexpr (requires { r.numbered; }) return r.numbered;
        else return false;
      },
      command.command);
}

InfoFieldEdit info_field_edit(InfoCommand command) {
  using C = InfoCommand;
  using FV = FieldValue;
  return std::visit(
      [](auto&& r) -> InfoFieldEdit {
        using R = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<R, C::Name>) {
          return single<InfoField, FV::Name>(std::move(r.set), false, InfoField::Name, nullptr);
        } else if constexpr (std::is_same_v<R, C::Publisher>) {
          return single<InfoField, FV::Publisher>(std::move(r.set), false, InfoField::Publisher, nullptr);
        } else if constexpr (std::is_same_v<R, C::Description>) {
          ClearableField f = ClearableField::Description;
          return single<InfoField, FV::Description>(std::move(r.set), r.clear, InfoField::Description, &f);
        } else if constexpr (std::is_same_v<R, C::Version>) {
          return single<InfoField, FV::Version>(std::move(r.set), false, InfoField::Version, nullptr);
        } else if constexpr (std::is_same_v<R, C::License>) {
          ClearableField f = ClearableField::License;
          return single<InfoField, FV::License>(std::move(r.set), r.clear, InfoField::License, &f);
        } else if constexpr (std::is_same_v<R, C::Maintainer>) {
          return list_field_edit(ListField::Maintainer, std::move(r.set), r.clear, std::move(r.add), r.remove);
        } else if constexpr (std::is_same_v<R, C::Website>) {
          ClearableField f = ClearableField::Website;
          std::optional<std::string> text;
          if (r.set) text = r.set->as_str();
          return single<InfoField, FV::Website>(std::move(text), r.clear, InfoField::Website, &f);
        } else if constexpr (std::is_same_v<R, C::Topic>) {
          return list_field_edit(ListField::Topic, std::move(r.set), r.clear, std::move(r.add), r.remove);
        } else if constexpr (std::is_same_v<R, C::Usage>) {
          return InfoFieldEdit{InfoFieldEdit::Get{InfoField::Usage}};
        } else if constexpr (std::is_same_v<R, C::Index>) {
          return InfoFieldEdit{InfoFieldEdit::Get{MetaField::Index}};
        } else if constexpr (std::is_same_v<R, C::Created>) {
          return InfoFieldEdit{InfoFieldEdit::Get{MetaField::Created}};
        } else if constexpr (std::is_same_v<R, C::Metamodel>) {
          auto text = metamodel_text(r);
          if (text && r.clear) invalid_record();
          if (text) return InfoFieldEdit{InfoFieldEdit::Set{FV{FV::Metamodel{std::move(*text)}}}};
          if (r.clear) return InfoFieldEdit{InfoFieldEdit::Clear{ClearableField::Metamodel}};
          return InfoFieldEdit{InfoFieldEdit::Get{MetaField::Metamodel}};
        } else if constexpr (std::is_same_v<R, C::IncludesDerived>) {
          return switch_edit<FV::IncludesDerived>(r.set, r.clear, MetaField::IncludesDerived,
                                                  ClearableField::IncludesDerived);
        } else if constexpr (std::is_same_v<R, C::IncludesImplied>) {
          return switch_edit<FV::IncludesImplied>(r.set, r.clear, MetaField::IncludesImplied,
                                                  ClearableField::IncludesImplied);
        } else {
          static_assert(std::is_same_v<R, C::Checksum>);
          return InfoFieldEdit{InfoFieldEdit::Get{MetaField::Checksum}};
        }
      },
      std::move(command.command));
}

}  // namespace kestro::cli
