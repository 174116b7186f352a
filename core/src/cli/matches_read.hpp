// Reading records out of the parser's matches: the guards for a parse
// result that the declarations cannot produce.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "kestro/cli/argparse.hpp"

namespace kestro::cli::detail {

ParseError missing_subcommand();
ParseError unrecognized_subcommand(std::string_view name);
ParseError missing_argument(std::string_view id);

// A value that every parse leaves (a flag, a default, a required value).
template <typename T>
std::expected<T, ParseError> take_required(ArgMatches& m, std::string_view id) {
  auto v = m.remove_one<T>(id);
  if (!v) return std::unexpected(missing_argument(id));
  return std::move(*v);
}

inline std::expected<bool, ParseError> take_flag(ArgMatches& m, std::string_view id) {
  return take_required<bool>(m, id);
}

// The chosen subcommand, or the missing-subcommand error.
std::expected<ArgMatches::Sub, ParseError> take_subcommand(ArgMatches& m);

}  // namespace kestro::cli::detail
