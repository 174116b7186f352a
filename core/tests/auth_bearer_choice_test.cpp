// Choosing the bearer token of the identity query and of a publish upload,
// the expiry check before an upload, and the account status view.
#include "kestro/auth/bearer_choice.hpp"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "error_text_cases.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/rfc3339.hpp"
#include "test_support.hpp"

namespace kestro::auth {
namespace {

// (pattern, label, token); an empty label makes a basic pair.
struct EnvPair {
  const char* pattern;
  const char* label;
  const char* token;
};

UrlGlobMap<ConfiguredCredential> configured(const std::vector<EnvPair>& pairs) {
  UrlGlobMapBuilder<ConfiguredCredential> b;
  for (const EnvPair& p : pairs) {
    if (*p.label == '\0')
      push_credential(b, p.pattern, {ConfiguredCredential::Basic{"u", p.token}});
    else
      push_credential(b, p.pattern, {ConfiguredCredential::Bearer{p.token, p.label}});
  }
  auto map = build_url_glob_map(std::move(b));
  if (!map) throw std::runtime_error(map.error().message());
  return std::move(*map);
}

BearerHintMap hints(const std::vector<EnvPair>& pairs) { return *bearer_hint_map(configured(pairs)); }

time::Timestamp at(const char* rfc3339) { return *time::parse_rfc3339(rfc3339); }

CredentialRecord record(std::string key, std::vector<std::string> globs, std::string secret,
                        std::optional<time::Timestamp> expires_at = std::nullopt) {
  CredentialRecord r;
  r.key = std::move(key);
  r.globs = std::move(globs);
  r.secret = std::move(secret);
  r.expires_at = expires_at;
  return r;
}

const char* const kUrl = "https://api.h/v1/x";

// Environment pairs and stored records, and what each of the two choices
// makes of them for `kUrl`: "env:<name>:<token>", "stored:<name>:<token>",
// or the error's text with `{}` for the identity query's URL and source.
struct ChoiceCase {
  const char* name;
  std::vector<EnvPair> env;
  std::vector<CredentialRecord> stored;
  std::string whoami;
  std::string publish;
};

const char* const kEnvHint = "refine `KESTRO_CRED_<X>` URL patterns so exactly one bearer token matches";
const char* const kStoredHint = "remove or narrow overlapping stored credentials so exactly one bearer token matches";

TEST(BearerChoice, WhoamiAndPublishTable) {
  const std::string no_publish =
      "no bearer token credentials configured for publish URL `https://api.h/v1/x`;\nset `KESTRO_CRED_<X>` and "
      "`KESTRO_CRED_<X>_BEARER_TOKEN` with a matching URL pattern";
  const ChoiceCase cases[] = {
      {"one environment bearer wins over a stored login",
       {{"https://api.h/**", "A", "ta"}},
       {record("https://h/", {"https://api.h/**"}, "s1")},
       "env:A:ta",
       "env:A:ta"},
      {"equal environment tokens: the first",
       {{"https://api.h/**", "A", "same"}, {"https://api.h/v1/*", "B", "same"}},
       {},
       "env:A:same",
       "env:A:same"},
      {"different environment tokens: ambiguous, stored logins not asked",
       {{"https://api.h/**", "A", "ta"}, {"https://api.h/v1/*", "B", "tb"}, {"https://api.*/**", "A", "tc"}},
       {record("https://h/", {"https://api.h/**"}, "s1")},
       "multiple credentials from `KESTRO_CRED_*` environment variables match `https://api.h/v1/x`:\n"
       "KESTRO_CRED_A, KESTRO_CRED_B;\nrefine the patterns so exactly one matches",
       std::string("multiple bearer token credentials from `KESTRO_CRED_*` environment variables configured for "
                   "publish URL `https://api.h/v1/x`:\nKESTRO_CRED_A, KESTRO_CRED_B;\n") +
           kEnvHint},
      {"a basic environment pair does not count",
       {{"https://api.h/**", "", "pw"}},
       {record("https://h/", {"https://api.h/**"}, "s1")},
       "stored:https://h/:s1",
       "stored:https://h/:s1"},
      {"one record through three globs",
       {},
       {record("https://h/", {"https://api.h/**", "https://api.h/v1/*", "https://*.h/**"}, "s1")},
       "stored:https://h/:s1",
       "stored:https://h/:s1"},
      {"an expired record is still chosen",
       {},
       {record("https://h/", {"https://api.h/**"}, "s1", at("2000-01-01T00:00:00Z"))},
       "stored:https://h/:s1",
       "stored:https://h/:s1"},
      {"two records with different secrets",
       {},
       {record("https://h/", {"https://api.h/**"}, "s1"), record("https://h2/", {"https://api.h/**"}, "s2"),
        record("https://h/", {"https://api.h/v1/*"}, "s3")},
       "multiple credentials from stored credentials match `https://api.h/v1/x`:\n`https://h/`, `https://h2/`;\n"
       "refine the patterns so exactly one matches",
       std::string("multiple bearer token credentials from stored credentials configured for publish URL "
                   "`https://api.h/v1/x`:\n`https://h/`, `https://h2/`;\n") +
           kStoredHint},
      {"two records with the same secret: the first",
       {},
       {record("https://h/", {"https://api.h/**"}, "s1"), record("https://h2/", {"https://api.h/**"}, "s1")},
       "stored:https://h/:s1",
       "stored:https://h/:s1"},
      {"nothing matches",
       {{"https://other/**", "A", "ta"}},
       {record("https://h/", {"https://h/**"}, "s1")},
       "no credential matches `https://api.h/v1/x`",
       no_publish},
  };
  for (const ChoiceCase& c : cases) {
    const BearerHintMap env = hints(c.env);
    auto whoami = select_whoami_credential(env, c.stored, kUrl, "https://h/");
    std::string got = whoami ? fmt::format("{}:{}:{}",
                                           whoami->source == WhoamiCredential::Source::Environment ? "env" : "stored",
                                           whoami->name, whoami->token)
                             : whoami.error().message();
    EXPECT_EQ(got, c.whoami) << c.name;
    if (!whoami && whoami.error().holds<AuthCommandError::NoWhoamiCredential>()) {
      EXPECT_EQ(whoami.error().get_if<AuthCommandError::NoWhoamiCredential>()->index, "https://h/") << c.name;
    }

    std::vector<CredentialRecord> stored = c.stored;
    AuthPolicy policy(configured(c.env), [stored] { return compile_stored_credentials(stored_logins_of(stored)); });
    auto publish = publish_bearer_credential(env, policy, kUrl);
    if (publish) {
      const auto* e = std::get_if<PublishCredential::Environment>(&publish->kind);
      const auto* s = std::get_if<PublishCredential::Stored>(&publish->kind);
      got = e ? fmt::format("env:{}:{}", e->label, e->token) : fmt::format("stored:{}:{}", s->key, s->secret);
      EXPECT_EQ(publish->token(), e ? e->token : s->secret);
    } else {
      got = publish.error().message();
    }
    EXPECT_EQ(got, c.publish) << c.name;
  }
}

TEST(BearerChoice, PublishWithoutStoreSourceReadsNothing) {
  log::ScopedCapture capture;
  AuthPolicy policy(configured({{"https://api.h/**", "", "pw"}}));
  auto publish = publish_bearer_credential(hints({{"https://api.h/**", "", "pw"}}), policy, kUrl);
  ASSERT_FALSE(publish);
  EXPECT_TRUE(publish.error().holds<PublishError::NoPublishBearer>());
  EXPECT_TRUE(capture.records().empty());
}

TEST(BearerChoice, PublishExpiryCheck) {
  const time::Timestamp expiry = at("2026-03-04T05:06:07Z");
  const std::string stopped =
      "the stored credential for `https://h/` expired at 2026-03-04 05:06:07 UTC, so publish stopped\nbefore "
      "uploading (a matching `KESTRO_CRED_*` environment credential would take\nprecedence instead)";
  struct Case {
    const char* name;
    PublishCredential credential;
    time::Timestamp now;
    std::string result;  // empty: uploads
  } cases[] = {
      {"an hour past, exactly: uploads", {PublishCredential::Stored{expiry, "https://h/", "s"}},
       at("2026-03-04T06:06:07Z"), ""},
      {"an hour and a nanosecond past: stops", {PublishCredential::Stored{expiry, "https://h/", "s"}},
       at("2026-03-04T06:06:07.000000001Z"), stopped},
      {"a day past: stops", {PublishCredential::Stored{expiry, "https://h/", "s"}}, at("2026-03-05T05:06:07Z"),
       stopped},
      {"not yet expired: uploads", {PublishCredential::Stored{expiry, "https://h/", "s"}},
       at("2026-03-01T00:00:00Z"), ""},
      {"stored without expiry: uploads", {PublishCredential::Stored{std::nullopt, "https://h/", "s"}},
       at("2099-01-01T00:00:00Z"), ""},
      {"environment: uploads", {PublishCredential::Environment{"A", "t"}}, at("2099-01-01T00:00:00Z"), ""},
  };
  for (const Case& c : cases) {
    auto checked = check_publish_expiry(c.credential, c.now);
    EXPECT_EQ(checked ? std::string() : checked.error().message(), c.result) << c.name;
  }
}

TEST(BearerChoice, BearerHintMapKeepsOnlyBearerPairsInOrder) {
  auto map = hints({{"https://a/**", "A", "ta"}, {"https://b/**", "", "pw"}, {"https://c/**", "C", "tc"}});
  EXPECT_EQ(map.patterns, (std::vector<std::string>{"https://a/**", "https://c/**"}));
  ASSERT_EQ(map.values.size(), 2u);
  EXPECT_EQ(map.values[1].label, "C");
}

// One row per stored record: expiry fields, coverage and shadowing, all
// against one clock and one environment.
TEST(AuthStatus, StoredRowsTable) {
  const time::Timestamp now = at("2026-06-10T12:00:00Z");
  const std::vector<EnvCredentialGlob> env = {
      {"A", "https://idx.example/**"}, {"BAD", "https://[x"}, {"B", "https://*.example/**"}};
  struct Case {
    const char* name;
    CredentialRecord record;
    std::optional<std::string> default_index;
    bool has_expiry;
    std::int64_t days_left;
    bool expired;
    bool covers;
    std::vector<std::string> shadowed_by;
  } cases[] = {
      {"36 hours ahead", record("https://idx.example/", {"https://idx.example/**"}, "s", at("2026-06-12T00:00:00Z")),
       "https://idx.example/", true, 1, false, true, {"A", "B"}},
      {"23 hours ahead", record("https://o/", {"https://o/**"}, "s", at("2026-06-11T11:00:00Z")), "https://idx.example/",
       true, 0, false, false, {}},
      {"2 hours ago", record("https://o/", {"https://o/**"}, "s", at("2026-06-10T10:00:00Z")), "https://idx.example/",
       true, 0, true, false, {}},
      {"3 days ago", record("https://o/", {"https://o/**"}, "s", at("2026-06-07T12:00:00Z")), "https://idx.example/",
       true, -3, true, false, {}},
      {"a day less half a second ahead rounds toward zero",
       record("https://o/", {}, "s", at("2026-06-11T11:59:59.5Z")), std::nullopt, true, 0, false, false, {}},
      {"no expiry", record("https://o/", {}, "s"), std::nullopt, false, 0, false, false, {}},
      {"no default index: a key equal to it covers nothing", record("https://idx.example/", {"**"}, "s"),
       std::nullopt, false, 0, false, false, {"A", "B"}},
      {"key equal to the default index covers without a matching glob",
       record("https://idx.example/", {"https://else/**"}, "s"), "https://idx.example/", false, 0, false, true,
       {"A", "B"}},
      {"a glob matching the scope covers", record("k", {"https://[", "https://idx.example/**"}, "s"),
       "https://IDX.example/?ref=x", false, 0, false, true, {}},
      {"a default index that is no location removes the scope", record("k", {"**"}, "s"), "not a url", false, 0,
       false, false, {}},
      {"a template default index is scoped to its directory", record("k", {"https://t.example/files/**"}, "s"),
       "https://t.example/files/{path}/raw", false, 0, false, true, {}},
  };
  for (const Case& c : cases) {
    std::vector<CredentialRecord> stored{c.record};
    AuthStatusReport report = build_auth_status(stored, env, now, c.default_index);
    ASSERT_EQ(report.stored.size(), 1u) << c.name;
    const StoredLoginStatus& row = report.stored[0];
    EXPECT_EQ(row.record, c.record) << c.name;
    EXPECT_EQ(row.has_expiry, c.has_expiry) << c.name;
    if (c.has_expiry) {
      EXPECT_EQ(row.days_left, c.days_left) << c.name;
    }
    EXPECT_EQ(row.expired, c.expired) << c.name;
    EXPECT_EQ(row.covers_default_index, c.covers) << c.name;
    EXPECT_EQ(row.shadowed_by, c.shadowed_by) << c.name;
  }
}

TEST(AuthStatus, EnvironmentRows) {
  const std::vector<EnvCredentialGlob> env = {
      {"A", "https://idx.example/**"}, {"BAD", "https://[x"}, {"C", "https://other/**"}};
  struct Case {
    std::optional<std::string> default_index;
    std::vector<bool> covers;
  } cases[] = {
      {"https://idx.example/", {true, false, false}},
      {std::nullopt, {false, false, false}},
  };
  for (const Case& c : cases) {
    AuthStatusReport report = build_auth_status({}, env, time::Timestamp{}, c.default_index);
    ASSERT_EQ(report.environment.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(report.environment[i].label, env[i].first);
      EXPECT_EQ(report.environment[i].url_glob, env[i].second);
      EXPECT_EQ(report.environment[i].covers_default_index, c.covers[i]) << i;
    }
  }
}

TEST(PublishErrorText, Debug) {
  using E = PublishError;
  E ambiguous(E::AmbiguousPublishBearer{"u", PublishBearerConflict{PublishBearerConflict::Stored{{"k1", "k2"}}}});
  EXPECT_EQ(ambiguous.debug(), R"(AmbiguousPublishBearer { upload_url: "u", conflict: Stored { keys: ["k1", "k2"] } })");
}

}  // namespace
}  // namespace kestro::auth
