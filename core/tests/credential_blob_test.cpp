// The stored-login blob: which texts read, which fail and how, and the exact
// text the writer produces.
#include <string>

#include <gtest/gtest.h>

#include "kestro/credentials/credential_blob.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::credentials {
namespace {

const std::string kRecord = R"({"key":"https://i/","globs":["https://i/**"],"scheme":"bearer","secret":"tok")";

TEST(CredentialBlob, ReadFailures) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const std::string unreadable = "credential store unreadable; remove the `kestro` keyring entry to reset";
  const Case cases[] = {
      {"empty object: missing version", "{}", unreadable},
      {"not JSON", "version=1", unreadable},
      {"empty text", "", unreadable},
      {"top level not an object", "[1]", unreadable},
      {"credentials null", R"({"version":1,"credentials":null})", unreadable},
      {"version negative", R"({"version":-1})", unreadable},
      {"version fraction", R"({"version":1.0})", unreadable},
      {"version past 32 bits", R"({"version":4294967296})", unreadable},
      {"version as text", R"({"version":"1"})", unreadable},
      {"version twice", R"({"version":1,"version":1})", unreadable},
      {"credentials twice", R"({"version":1,"credentials":[],"credentials":[]})", unreadable},
      {"trailing characters", R"({"version":1} x)", unreadable},
      {"second value", R"({"version":1}{})", unreadable},
      {"scheme Bearer", R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"Bearer","secret":"s"}]})",
       unreadable},
      {"scheme basic", R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"basic","secret":"s"}]})",
       unreadable},
      {"missing secret", R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer"}]})", unreadable},
      {"missing globs", R"({"version":1,"credentials":[{"key":"k","scheme":"bearer","secret":"s"}]})", unreadable},
      {"record key twice", R"({"version":1,"credentials":[)" + kRecord + R"(,"secret":"t"}]})", unreadable},
      {"glob not a string", R"({"version":1,"credentials":[{"key":"k","globs":[1],"scheme":"bearer","secret":"s"}]})",
       unreadable},
      {"record not an object", R"({"version":1,"credentials":["k"]})", unreadable},
      {"expiry without offset", R"({"version":1,"credentials":[)" + kRecord + R"(,"expires_at":"2030-01-01T00:00:00"}]})",
       unreadable},
      {"expiry a number", R"({"version":1,"credentials":[)" + kRecord + R"(,"expires_at":5}]})", unreadable},
      {"validated null", R"({"version":1,"credentials":[)" + kRecord + R"(,"validated":null}]})", unreadable},
      {"subject without name", R"({"version":1,"credentials":[)" + kRecord + R"(,"subject":{"type":"user"}}]})",
       unreadable},
      {"subject a string", R"({"version":1,"credentials":[)" + kRecord + R"(,"subject":"u"}]})", unreadable},
      {"token name a number", R"({"version":1,"credentials":[)" + kRecord + R"(,"token_name":1}]})", unreadable},
      {"version 2 that fits", R"({"version":2,"credentials":[)" + kRecord + "}]}",
       "unsupported credential store blob version 2 (this build supports version 1)"},
      {"version 0", R"({"version":0})", "unsupported credential store blob version 0 (this build supports version 1)"},
      {"version 2 whose records do not fit", R"({"version":2,"credentials":[{"key":"k"}]})", unreadable},
  };
  for (const auto& c : cases) {
    auto blob = parse_credential_blob(c.text);
    ASSERT_FALSE(blob.has_value()) << c.name;
    EXPECT_EQ(blob.error().message(), c.message) << c.name;
  }
}

TEST(CredentialBlob, ReadAndWrite) {
  struct Case {
    const char* name;
    std::string text;
    std::string written;
  };
  const Case cases[] = {
      {"version only is the empty blob", R"( {"version" : 1} )", R"({"version":1,"credentials":[]})"},
      {"required keys only", R"({"version":1,"credentials":[)" + kRecord + "}]}",
       R"({"version":1,"credentials":[)" + kRecord + "}]}"},
      {"keys written in fixed order, nulls and empty validated dropped",
       R"({"credentials":[{"validated":[],"token_prefix":null,"token_name":null,"subject":null,"expires_at":null,)"
       R"("secret":"s","scheme":"bearer","globs":[],"key":"k"}],"version":1})",
       R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer","secret":"s"}]})"},
      {"every optional field",
       R"({"version":1,"credentials":[)" + kRecord +
           R"(,"validated":["api","read"],"token_prefix":"to","token_name":"ci","subject":{"name":"al","type":"user"},)"
           R"("expires_at":"2030-01-02T03:04:05+01:00"}]})",
       R"({"version":1,"credentials":[)" + kRecord +
           R"(,"expires_at":"2030-01-02T02:04:05Z","subject":{"type":"user","name":"al"},"token_name":"ci",)"
           R"("token_prefix":"to","validated":["api","read"]}]})"},
      {"fraction of a second kept", R"({"version":1,"credentials":[)" + kRecord + R"(,"expires_at":"2030-01-02T03:04:05.250Z"}]})",
       R"({"version":1,"credentials":[)" + kRecord + R"(,"expires_at":"2030-01-02T03:04:05.25Z"}]})"},
      {"unknown subject kind and surface kept as text, subject extras dropped",
       R"({"version":1,"credentials":[)" + kRecord + R"(,"subject":{"type":"team","name":"t","id":7},"validated":["publish"]}]})",
       R"({"version":1,"credentials":[)" + kRecord + R"(,"subject":{"type":"team","name":"t"},"validated":["publish"]}]})"},
      {"extra keys after the known ones, in order, spacing dropped",
       R"({"z":{"b": 1, "a": [true, null]},"version":1,"a":-5,"credentials":[{"x":1.5,"key":"k","globs":[],)"
       R"("scheme":"bearer","secret":"s","y":"\u00e9"}]})",
       R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer","secret":"s","x":1.5,"y":"é"}],)"
       R"("z":{"b":1,"a":[true,null]},"a":-5})"},
      {"repeated extra key keeps its first place and its last value", R"({"e":1,"version":1,"f":2,"e":3})",
       R"({"version":1,"credentials":[],"e":3,"f":2})"},
      {"large integers exact", R"({"version":1,"u":18446744073709551615,"i":-9223372036854775808})",
       R"({"version":1,"credentials":[],"u":18446744073709551615,"i":-9223372036854775808})"},
      {"secret escaped as JSON", R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer","secret":"a\"\n"}]})",
       R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer","secret":"a\"\n"}]})"},
  };
  for (const auto& c : cases) {
    auto blob = parse_credential_blob(c.text);
    ASSERT_TRUE(blob.has_value()) << c.name << ": " << blob.error().message();
    const std::string written = serialize_credential_blob(*blob);
    EXPECT_EQ(written, c.written) << c.name;
    auto again = parse_credential_blob(written);
    ASSERT_TRUE(again.has_value()) << c.name;
    EXPECT_EQ(*again, *blob) << c.name;
  }
}

TEST(CredentialBlob, KindsReadFromExactText) {
  EXPECT_EQ(SubjectKind::from_text("user").tag, SubjectKind::Tag::User);
  EXPECT_EQ(SubjectKind::from_text("project").tag, SubjectKind::Tag::Project);
  EXPECT_EQ(SubjectKind::from_text("oidc").tag, SubjectKind::Tag::Oidc);
  EXPECT_EQ(SubjectKind::from_text("User").tag, SubjectKind::Tag::Other);
  EXPECT_EQ(CredentialSurface::from_text("read").tag, CredentialSurface::Tag::Read);
  EXPECT_EQ(CredentialSurface::from_text("api").tag, CredentialSurface::Tag::Api);
  EXPECT_EQ(CredentialSurface::from_text("API").text(), "API");
}

TEST(CredentialBlob, EmptyBlobWritesVersionAndEmptyList) {
  EXPECT_EQ(serialize_credential_blob(CredentialBlob{}), R"({"version":1,"credentials":[]})");
  EXPECT_TRUE(CredentialBlob{}.is_empty());
}

}  // namespace
}  // namespace kestro::credentials
