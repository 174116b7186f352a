// The index argument of the account commands and the texts of their errors.
#include "kestro/auth/auth_command_error.hpp"
#include "kestro/auth/index_argument.hpp"

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "error_text_cases.hpp"
#include "test_support.hpp"

namespace kestro::auth {
namespace {

using E = AuthCommandError;

TEST(AuthIndexArgument, AcceptedIndexes) {
  struct Case {
    const char* text;
    const char* canonical;
    const char* scope;
  } cases[] = {
      {"https://Index.Example.ORG/idx", "https://index.example.org/idx/", "https://index.example.org/idx/"},
      {"https://h:443/i/?ref=main", "https://h/i/?ref=main", "https://h/i/"},
      {"http://h:8080", "http://h:8080/", "http://h:8080/"},
      {"HTTPS://H/api/files/{path}/raw?ref=main", "https://h/api/files/{path}/raw?ref=main", "https://h/api/files/"},
      {"https://h/p-{path_raw}.json", "https://h/p-{path_raw}.json", "https://h/"},
  };
  for (const Case& c : cases) {
    auto a = parse_auth_index_url(c.text);
    ASSERT_TRUE(a) << c.text << ": " << a.error().message();
    EXPECT_EQ(a->canonical, c.canonical) << c.text;
    EXPECT_EQ(a->scope, c.scope) << c.text;
    EXPECT_EQ(a->location, *parse_index_location(c.text)) << c.text;
  }
}

TEST(AuthIndexArgument, RefusedIndexes) {
  struct Case {
    const char* text;
    HoldsCheck<E> variant;
    std::string message;
  } cases[] = {
      {"ftp://Files.Example.org/idx", holds<E::NotHttpIndex>,
       "`ftp://Files.Example.org/idx`: not an HTTP(S) index; nothing to authenticate to\n(use an https:// index URL)"},
      {"file:///srv/index", holds<E::NotHttpIndex>,
       "`file:///srv/index`: not an HTTP(S) index; nothing to authenticate to\n(use an https:// index URL)"},
      {"https://user@h/idx", holds<E::InvalidIndexUrl>,
       "invalid index URL for credential storage: index URL `https://<redacted>@h/idx` includes username or "
       "password;\nURL userinfo is not allowed"},
      {"https://h/idx#top", holds<E::InvalidIndexUrl>,
       "invalid index URL for credential storage: index URL `https://h/idx#top` includes a `#` fragment;\nfragments "
       "are never sent to the server and are not allowed in index locations"},
      {"idx/sub", holds<E::InvalidIndexUrl>,
       "invalid index URL for credential storage: index URL `idx/sub` is relative;\nindex locations must be absolute "
       "HTTP(S) URLs"},
  };
  for (const Case& c : cases) {
    auto a = parse_auth_index_url(c.text);
    ASSERT_FALSE(a) << c.text;
    EXPECT_TRUE(c.variant(a.error())) << c.text << ": " << a.error().debug();
    EXPECT_EQ(a.error().message(), c.message);
  }
}

// The store's refusal, with the secret store's own reason as its cause.
CredentialStoreError store_failure() {
  return CredentialStoreError(CredentialStoreError::BackendDenied{make_error<MessageError>("prompt dismissed")});
}

const char* const kBasicHint =
    "\nthis index uses username/password (HTTP basic) authentication; configure\n`KESTRO_CRED_<X>_BASIC_USER` / "
    "`KESTRO_CRED_<X>_BASIC_PASS` environment\nvariables instead";

ErrorPtr rejected(std::vector<ProbeRejection> r, std::vector<std::string> schemes = {}) {
  return make_error<E>(E::ValidationRejected{"https://h/i/", std::move(r), std::move(schemes)});
}

TEST(AuthCommandErrorText, Variants) {
  using S = ProbeSurface;
  const ErrorTextCase cases[] = {
      {"no stored login", make_error<E>(E::NoStoredCredential{"https://h/i/"}), "no stored credential for `https://h/i/`"},
      {"discovery failed",
       make_error<E>(E::WhoamiDiscoveryFailed{"https://h/i/", "HTTP request to `x` returned status 500"}),
       "could not read the index configuration for `https://h/i/` (HTTP request to `x` returned status 500); cannot "
       "resolve its API"},
      {"no API",
       make_error<E>(E::NoAdvertisedApi{"https://h/i/"}),
       "index `https://h/i/` does not advertise an API (`api_root`) in its\ndiscovery configuration, so there is no "
       "identity endpoint to ask\n(a private index may also hide its configuration from clients it\ncannot "
       "authenticate)"},
      {"ambiguous environment credentials",
       make_error<E>(E::AmbiguousWhoamiCredential{"https://api.h/v1/whoami", "`KESTRO_CRED_*` environment variables",
                                                  {"KESTRO_CRED_A", "KESTRO_CRED_B"}}),
       "multiple credentials from `KESTRO_CRED_*` environment variables match `https://api.h/v1/whoami`:\n"
       "KESTRO_CRED_A, KESTRO_CRED_B;\nrefine the patterns so exactly one matches"},
      {"ambiguous stored credentials",
       make_error<E>(E::AmbiguousWhoamiCredential{"https://api.h/v1/whoami", "stored credentials", {"`k1`", "`k2`"}}),
       "multiple credentials from stored credentials match `https://api.h/v1/whoami`:\n`k1`, `k2`;\nrefine the "
       "patterns so exactly one matches"},
      {"no credential, index not shown",
       make_error<E>(E::NoWhoamiCredential{"https://api.h/v1/whoami", "https://h/i/"}),
       "no credential matches `https://api.h/v1/whoami`"},
      {"store error shown as itself, its cause kept", make_error<E>(E::Store{store_failure()}),
       "the OS keyring denied access (it may be locked)\n  caused by: prompt dismissed\n"},
      {"one rejection: read surface 404 suffix", rejected({{S::Read, 404}}),
       "the index rejected the token for `https://h/i/`\n(`index.json` answered HTTP 404), or no index exists at this "
       "URL; nothing was stored"},
      {"one rejection: read surface 401 has no suffix", rejected({{S::Read, 401}}),
       "the index rejected the token for `https://h/i/`\n(`index.json` answered HTTP 401); nothing was stored"},
      {"one rejection: API 404 has no suffix", rejected({{S::Api, 404}}),
       "the index rejected the token for `https://h/i/`\n(`v1/whoami` answered HTTP 404); nothing was stored"},
      {"two rejections with basic in any case: hint once",
       rejected({{S::Read, 401}, {S::Api, 401}}, {"Basic", "bAsIc"}),
       std::string("credential for `https://h/i/` was rejected by the index read surface (`index.json`, HTTP 401) and "
                   "the index API (`v1/whoami`, HTTP 401) and accepted by no surface;\nnothing was stored") +
           kBasicHint},
      {"one rejection, basic and an unsupported scheme",
       rejected({{S::Api, 401}}, {"Bearer", "BASIC", "Negotiate"}),
       std::string("the index rejected the token for `https://h/i/`\n(`v1/whoami` answered HTTP 401); nothing was "
                   "stored") +
           kBasicHint +
           "\nthe index requests the authentication scheme `Negotiate` in its challenge,\nwhich kestro does not "
           "support"},
      {"no rejection at all takes the list form", rejected({}),
       "credential for `https://h/i/` was rejected by  and accepted by no surface;\nnothing was stored"},
  };
  expect_rendered(cases);
}

TEST(AuthCommandErrorText, DebugFormsNameTheVariant) {
  EXPECT_EQ(E(E::ValidationRejected{"i", {{ProbeSurface::Api, 401}}, {"Basic"}}).debug(),
            "ValidationRejected { index: \"i\", rejected: [(Api, 401)], challenge_schemes: [\"Basic\"] }");
  EXPECT_EQ(E(E::NotHttpIndex{"ftp://x"}).debug(), "NotHttpIndex { url: \"ftp://x\" }");
}

}  // namespace
}  // namespace kestro::auth
