// The strict reader of `v1/whoami` answers and the debug lines of an
// answer that gives no identity.
#include "kestro/auth/whoami.hpp"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"
#include "kestro/utils/rfc3339.hpp"

namespace kestro::auth {
namespace {

using Tag = SubjectKind::Tag;

time::Timestamp at(const char* text) { return *time::parse_rfc3339(text); }

TEST(Whoami, AcceptedBodies) {
  struct Case {
    const char* what;
    const char* body;
    WhoamiBody expected;
  } cases[] = {
      {"full body",
       R"({"subject":{"type":"user","name":"ada"},"token":{"name":"ci","prefix":"kst_ab","expires_at":"2030-01-02T03:04:05+02:00"}})",
       {{{Tag::User, ""}, "ada"}, {"ci", "kst_ab", at("2030-01-02T01:04:05Z")}}},
      {"unknown keys at every level, objects and arrays as values",
       R"({"x":[1,{"a":2}],"subject":{"type":"project","extra":{"y":[]},"name":"p"},"token":{"scopes":["r"],"name":null}, "z": null})",
       {{{Tag::Project, ""}, "p"}, {}}},
      {"token with only a name", R"({"subject":{"type":"oidc","name":"gh"},"token":{"name":"t"}})",
       {{{Tag::Oidc, ""}, "gh"}, {"t", std::nullopt, std::nullopt}}},
      {"null expiry is no expiry", R"({"subject":{"type":"user","name":"a"},"token":{"expires_at":null}})",
       {{{Tag::User, ""}, "a"}, {}}},
      {"letter case makes another kind", R"({"subject":{"type":"User","name":"a"},"token":{}})",
       {{{Tag::Other, "User"}, "a"}, {}}},
      {"OIDC is not oidc", R"({"subject":{"type":"OIDC","name":"a"},"token":{}})", {{{Tag::Other, "OIDC"}, "a"}, {}}},
      {"white space around the body", " \n{\"subject\":{\"type\":\"team\",\"name\":\"a\"},\"token\":{}}\n  \n",
       {{{Tag::Other, "team"}, "a"}, {}}},
  };
  for (const Case& c : cases) {
    auto b = parse_whoami_body(c.body);
    ASSERT_TRUE(b) << c.what << ": " << b.error().message();
    EXPECT_EQ(*b, c.expected) << c.what;
  }
}

TEST(Whoami, RefusedBodies) {
  struct Case {
    const char* what;
    const char* body;
    const char* error;  // the start of the reader's message
  } cases[] = {
      {"empty object", "{}", "missing field `subject`"},
      {"subject without name", R"({"subject":{"type":"user"},"token":{}})", "missing field `name`"},
      {"missing token", R"({"subject":{"type":"user","name":"a"}})", "missing field `token`"},
      {"duplicate subject", R"({"subject":{"type":"user","name":"a"},"subject":{"type":"user","name":"a"},"token":{}})",
       "duplicate field `subject`"},
      {"duplicate token name", R"({"subject":{"type":"user","name":"a"},"token":{"name":"x","name":null}})",
       "duplicate field `name`"},
      {"expiry as a number", R"({"subject":{"type":"user","name":"a"},"token":{"expires_at":1700000000}})",
       "invalid type: integer `1700000000`"},
      {"expiry without offset", R"({"subject":{"type":"user","name":"a"},"token":{"expires_at":"2030-01-02T03:04:05"}})",
       ""},
      {"a second value after the body", R"({"subject":{"type":"user","name":"a"},"token":{}} {})",
       "trailing characters"},
      {"subject type null", R"({"subject":{"type":null,"name":"a"},"token":{}})", "invalid type: null"},
      {"not an object", "[]", "invalid length 0"},
  };
  for (const Case& c : cases) {
    auto b = parse_whoami_body(c.body);
    ASSERT_FALSE(b) << c.what;
    EXPECT_TRUE(b.error().message().starts_with(c.error)) << c.what << ": " << b.error().message();
  }
}

TEST(Whoami, ResponseWithoutIdentityLogsOneDebugLine) {
  struct Case {
    const char* what;
    std::expected<std::string, MessageError> body;
    std::string line;
  } cases[] = {
      {"body not read",
       std::unexpected(MessageError("connection reset", make_error<MessageError>("os error 104"))),
       "whoami body was not read: connection reset\n  caused by: os error 104\n"},
      {"empty object", std::string("{}"),
       "whoami body was not parsed: missing field `subject` at line 1 column 2;\nbody: {}"},
      {"non-UTF-8 body shown lossily", std::string("{\"subject\":\xff}"),
       "whoami body was not parsed: " + parse_whoami_body("{\"subject\":\xff}").error().message() +
           ";\nbody: {\"subject\":\xef\xbf\xbd}"},
  };
  for (const Case& c : cases) {
    log::ScopedCapture capture;
    EXPECT_EQ(parse_whoami_response(c.body), std::nullopt) << c.what;
    ASSERT_EQ(capture.records().size(), 1u) << c.what;
    EXPECT_EQ(capture.records()[0].level, log::Level::Debug);
    EXPECT_EQ(capture.records()[0].target, "kestro_core::commands::auth");
    EXPECT_EQ(capture.records()[0].message, c.line) << c.what;
  }
}

TEST(Whoami, ResponseWithIdentityLogsNothing) {
  log::ScopedCapture capture;
  auto body = parse_whoami_response(
      std::expected<std::string, MessageError>(R"({"subject":{"type":"user","name":"a"},"token":{}})"));
  ASSERT_TRUE(body);
  EXPECT_EQ(body->subject.name, "a");
  EXPECT_TRUE(capture.records().empty());
}

}  // namespace
}  // namespace kestro::auth
