// The authentication schemes an index names in the `WWW-Authenticate`
// headers of a refusal. Only the scheme names are read (parameters such as
// realm or scope are not kept); they serve advice: whether the index asks
// for HTTP basic credentials, and which schemes it asks for that kestro
// cannot serve.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestro::auth {

// Appends the new scheme names of each `WWW-Authenticate` header value, in
// the order given. A value with a byte other than tab or 0x20-0x7E is
// skipped; a name already listed (ASCII case ignored) is not added again,
// the first spelling stays. Never fails.
void parse_www_authenticate(std::span<const std::string_view> header_values, std::vector<std::string>& schemes);
// The same for one header value.
void add_challenge_schemes(std::string_view header_value, std::vector<std::string>& schemes);

// Whether some scheme is `basic`, ASCII case ignored.
bool challenges_include_basic(std::span<const std::string> schemes);

// The sentence naming the schemes other than bearer and basic, or none
// when there are no such schemes.
std::optional<std::string> describe_unsupported_challenge(std::span<const std::string> schemes);

}  // namespace kestro::auth
