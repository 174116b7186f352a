// Scheme names read from `WWW-Authenticate` values, the basic test and the
// sentence about schemes kestro cannot serve.
#include "kestro/auth/challenge.hpp"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace kestro::auth {
namespace {

using Strings = std::vector<std::string>;

TEST(AuthChallenge, SchemesOfHeaderValues) {
  struct Case {
    const char* what;
    std::vector<std::string_view> values;
    Strings schemes;
  } cases[] = {
      {"quoted realm, comma, then a parameter piece",
       {R"(Bearer realm="kestro", error="invalid_token")"},
       {"Bearer"}},
      {"two headers in order, later BASIC not added again",
       {R"(Basic realm="r")", "bearer", "BASIC"},
       {"Basic", "bearer"}},
      {"comma inside a quoted realm does not split", {R"(Negotiate realm="a, b")"}, {"Negotiate"}},
      {"blanks around an equals sign make the parameter name a scheme",
       {R"(Bearer realm="r", scope = "read")"},
       {"Bearer", "scope"}},
      {"a non-ASCII byte drops that value only",
       {"Bearer realm=\"caf\xc3\xa9\"", "Negotiate"},
       {"Negotiate"}},
      {"a control byte drops the value", {"Basic\x01"}, {}},
      {"a tab separates like a blank", {"\tNTLM\tabc"}, {"NTLM"}},
      {"several challenges in one value", {R"(Basic realm="x", Bearer, Digest nonce="n, m")"},
       {"Basic", "Bearer", "Digest"}},
      {"empty pieces and a quote in the candidate are skipped", {R"(, ,"Basic", Bearer)"}, {"Bearer"}},
      {"a backslash does not escape a quote",
       {R"(Digest realm="a\", Other", Mutual)"},
       {"Digest"}},
      {"no headers", {}, {}},
  };
  for (const Case& c : cases) {
    Strings schemes;
    parse_www_authenticate(c.values, schemes);
    EXPECT_EQ(schemes, c.schemes) << c.what;
  }
}

TEST(AuthChallenge, AppendsToWhatTheListHolds) {
  Strings schemes{"Bearer"};
  add_challenge_schemes("bearer, Basic", schemes);
  EXPECT_EQ(schemes, (Strings{"Bearer", "Basic"}));
}

TEST(AuthChallenge, BasicAndUnsupportedSchemes) {
  struct Case {
    Strings schemes;
    bool basic;
    std::optional<std::string> unsupported;
  } cases[] = {
      {{"Bearer", "Basic"}, true, std::nullopt},
      {{"bEaReR", "BASIC"}, true, std::nullopt},
      {{}, false, std::nullopt},
      {{"Bearer", "Negotiate"}, false,
       "the index requests the authentication scheme `Negotiate` in its challenge,\nwhich kestro does not support"},
      {{"Negotiate", "NTLM"}, false,
       "the index requests the authentication schemes `Negotiate`, `NTLM` in its challenge,\nwhich kestro does not "
       "support"},
      {{"Basics"}, false,
       "the index requests the authentication scheme `Basics` in its challenge,\nwhich kestro does not support"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(challenges_include_basic(c.schemes), c.basic) << c.schemes.size();
    EXPECT_EQ(describe_unsupported_challenge(c.schemes), c.unsupported);
  }
}

}  // namespace
}  // namespace kestro::auth
