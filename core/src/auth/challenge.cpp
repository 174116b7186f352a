#include "kestro/auth/challenge.hpp"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestro/utils/ascii.hpp"

namespace kestro::auth {
namespace {

// The token characters of HTTP field syntax.
bool is_token_char(char c) {
  return is_ascii_alnum(c) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool is_visible_or_blank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return c == '\t' || (b >= 0x20 && b <= 0x7E);
}

void add_piece(std::string_view piece, std::vector<std::string>& schemes) {
  const auto start = piece.find_first_not_of(" \t");
  if (start == std::string_view::npos) return;
  piece.remove_prefix(start);
  const std::string_view candidate = piece.substr(0, piece.find_first_of(" \t"));
  if (candidate.empty() || !std::ranges::all_of(candidate, is_token_char)) return;
  const bool known = std::ranges::any_of(schemes, [&](const std::string& s) { return eq_ignore_ascii_case(s, candidate); });
  if (!known) schemes.emplace_back(candidate);
}

}  // namespace

void add_challenge_schemes(std::string_view value, std::vector<std::string>& schemes) {
  if (!std::ranges::all_of(value, is_visible_or_blank)) return;
  // Commas split challenges and parameters alike, except inside a quoted
  // string; a backslash does not escape the quote here.
  bool quoted = false;
  std::size_t piece_start = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '"') {
      quoted = !quoted;
    } else if (value[i] == ',' && !quoted) {
      add_piece(value.substr(piece_start, i - piece_start), schemes);
      piece_start = i + 1;
    }
  }
  add_piece(value.substr(piece_start), schemes);
}

void parse_www_authenticate(std::span<const std::string_view> header_values, std::vector<std::string>& schemes) {
  for (std::string_view value : header_values) add_challenge_schemes(value, schemes);
}

bool challenges_include_basic(std::span<const std::string> schemes) {
  return std::ranges::any_of(schemes, [](const std::string& s) { return eq_ignore_ascii_case(s, "basic"); });
}

std::optional<std::string> describe_unsupported_challenge(std::span<const std::string> schemes) {
  std::vector<std::string> names;
  for (const std::string& s : schemes)
    if (!eq_ignore_ascii_case(s, "bearer") && !eq_ignore_ascii_case(s, "basic")) names.push_back(fmt::format("`{}`", s));
  if (names.empty()) return std::nullopt;
  return fmt::format("the index requests the authentication {} {} in its challenge,\nwhich kestro does not support",
                     names.size() == 1 ? "scheme" : "schemes", fmt::join(names, ", "));
}

}  // namespace kestro::auth
