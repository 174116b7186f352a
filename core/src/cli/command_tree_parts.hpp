// Small builders for the declarations of the command tree.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kestro/cli/argparse.hpp"

namespace kestro::cli::decl {

Arg option(std::string id, std::string long_name, std::string value_name, std::string help);
Arg flag(std::string id, std::string long_name, std::string help);
Arg positional(std::string id, std::string value_name, std::string help);
Arg with_short(Arg a, char s);
Arg with_parser(Arg a, ValueParser p);
Arg with_values(Arg a, std::vector<PossibleValue> values, std::optional<std::string> default_value);
Arg in_group(Arg a, std::string group);
Command command(std::string name, std::string about);
// The group of a record: any members together, none required.
ArgGroup record_group(std::string id, std::vector<std::string> members);
// Exactly one member.
ArgGroup exactly_one(std::string id, std::vector<std::string> members);
// The variable's value now, when it is set.
std::optional<std::string> env_now(const char* name);

}  // namespace kestro::cli::decl
