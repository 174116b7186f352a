// Text pieces shared by the parser's error messages and the help renderer.
#pragma once

#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "kestro/cli/argparse.hpp"

namespace kestro::cli::detail {

// "--set <NAME>", "--clear", "<IRI>", "<PATHS>...".
std::string arg_display(const Arg& arg);
// The usage line of a command after "Usage: ", `path` being the names from
// the display name of the root down to the command.
std::string usage_text(const Command& command, std::string_view path, const HelpStyles& styles);
// An error message with its label, tips, the command's usage and the
// pointer to its help.
std::string render_error(const HelpStyles& styles, std::string_view message, const std::vector<std::string>& tips,
                         const Command* command, std::string_view path);
// The help page of a finalised root's command reached by `path`.
std::string render_help_page(const Command& root, std::string_view shown_name, std::span<const std::string> path,
                             bool long_form);

}  // namespace kestro::cli::detail
