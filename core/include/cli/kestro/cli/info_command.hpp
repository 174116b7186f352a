// The field subcommands of `info`: their records, the refusal options that
// reject edits a field does not allow, and the edit a record stands for.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/cli/argparse.hpp"
#include "kestro/cli/value_parsers.hpp"
#include "kestro/utils/iri.hpp"

namespace kestro::cli {

struct InfoCommand {
  struct Name {
    std::optional<std::string> set;
  };
  struct Publisher {
    std::optional<std::string> set;
  };
  struct Description {
    std::optional<std::string> set;
    bool clear = false;
  };
  struct Version {
    std::optional<std::string> set;
    bool no_semver = false;
  };
  struct License {
    std::optional<std::string> set;
    bool no_spdx = false;
    bool clear = false;
  };
  struct ListEdit {
    std::optional<std::string> set;
    bool clear = false;
    std::optional<std::string> add;
    std::optional<std::uint64_t> remove;
    bool numbered = false;
  };
  struct Maintainer : ListEdit {};
  struct Website {
    std::optional<iri::Iri> set;
    bool clear = false;
  };
  struct Topic : ListEdit {};
  struct Usage {
    bool numbered = false;
  };
  struct Index {
    bool numbered = false;
  };
  struct Created {};
  struct Metamodel {
    std::optional<MetamodelKind> set;
    MetamodelRelease release = MetamodelRelease::R20250201;
    std::optional<std::uint32_t> release_custom;
    std::optional<std::string> set_custom;
    bool clear = false;
  };
  struct IncludesDerived {
    std::optional<bool> set;
    bool clear = false;
  };
  struct IncludesImplied {
    std::optional<bool> set;
    bool clear = false;
  };
  struct Checksum {
    bool numbered = false;
  };
  std::variant<Name, Publisher, Description, Version, License, Maintainer, Website, Topic, Usage, Index, Created,
               Metamodel, IncludesDerived, IncludesImplied, Checksum>
      command;

  // Adds the fifteen field subcommands to `info`.
  static void augment_subcommands(Command& info);
  static bool has_subcommand(std::string_view name);
  static std::expected<InfoCommand, ParseError> from_arg_matches(ArgMatches& info_matches);
};

// A refusal option's parser: any use fails as an argument that is not
// accepted, with `message` as the tip.
ValueParser refusal_value_parser(std::string message);

enum class InfoField { Name, Publisher, Description, Version, License, Maintainer, Website, Topic, Usage };
enum class MetaField { Index, Created, Metamodel, IncludesDerived, IncludesImplied, Checksum };
enum class ListField { Maintainer, Topic };
// What a `Clear` edit removes.
enum class ClearableField { Description, License, Maintainer, Website, Topic, Metamodel, IncludesDerived, IncludesImplied };

struct FieldValue {
  struct Name { std::string value; bool operator==(const Name&) const = default; };
  struct Publisher { std::string value; bool operator==(const Publisher&) const = default; };
  struct Description { std::string value; bool operator==(const Description&) const = default; };
  struct Version { std::string value; bool operator==(const Version&) const = default; };
  struct License { std::string value; bool operator==(const License&) const = default; };
  struct Maintainer { std::vector<std::string> value; bool operator==(const Maintainer&) const = default; };
  struct Website { std::string value; bool operator==(const Website&) const = default; };
  struct Topic { std::vector<std::string> value; bool operator==(const Topic&) const = default; };
  struct Metamodel { std::string value; bool operator==(const Metamodel&) const = default; };
  struct IncludesDerived { bool value; bool operator==(const IncludesDerived&) const = default; };
  struct IncludesImplied { bool value; bool operator==(const IncludesImplied&) const = default; };
  std::variant<Name, Publisher, Description, Version, License, Maintainer, Website, Topic, Metamodel, IncludesDerived,
               IncludesImplied>
      value;
  bool operator==(const FieldValue&) const = default;
};

struct InfoFieldEdit {
  struct Get {
    std::variant<InfoField, MetaField> field;
    bool operator==(const Get&) const = default;
  };
  struct Set {
    FieldValue value;
    bool operator==(const Set&) const = default;
  };
  struct Clear {
    ClearableField field;
    bool operator==(const Clear&) const = default;
  };
  struct Add {
    ListField field;
    std::vector<std::string> items;
    bool operator==(const Add&) const = default;
  };
  struct Remove {
    ListField field;
    std::uint64_t index;  // counted from 1, as given
    bool operator==(const Remove&) const = default;
  };
  std::variant<Get, Set, Clear, Add, Remove> edit;
  bool operator==(const InfoFieldEdit&) const = default;
};

// Whether a read of a list-valued field is to be numbered.
bool info_field_numbered(const InfoCommand& command);
// The edit the record stands for; a record the parser cannot produce throws
// InternalError.
InfoFieldEdit info_field_edit(InfoCommand command);
InfoFieldEdit list_field_edit(ListField field, std::optional<std::string> set, bool clear, std::optional<std::string> add,
                              std::optional<std::uint64_t> remove);

}  // namespace kestro::cli
