// The stored logins as requests see them, read from the real credential
// store: gnome-keyring's Secret Service in a private session.
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "kestro/auth/stored_credentials.hpp"
#include "kestro/credentials/credential_store.hpp"
#include "kestro/utils/log.hpp"
#include "support/keyring_session.hpp"
#include "support/log_capture.hpp"
#include "test_support.hpp"

namespace kestro::auth {
namespace {

using credentials::CredentialBlob;
using credentials::CredentialRecord;
using credentials::CredentialStore;
using testing::shared_keyring_session;

constexpr std::string_view kTarget = "kestro_core::auth";

CredentialRecord login(std::string key, std::vector<std::string> globs, std::string secret) {
  CredentialRecord r;
  r.key = std::move(key);
  r.globs = std::move(globs);
  r.secret = std::move(secret);
  return r;
}

// The lines of the auth target, as "level: message".
std::vector<std::string> auth_lines(const log::ScopedCapture& capture) {
  return testing::leveled_messages_of(capture, {kTarget});
}

class StoredSource : public testing::KeyringStoreTest<CredentialStore> {};

TEST_F(StoredSource, RecordsBecomeTheStoredMap) {
  auto saved = credentials::update_credential_store(store_, [](CredentialBlob& blob) {
    blob.credentials.push_back(login("https://a/", {"https://a/**", "https://[", "https://api.a/**"}, "sa"));
    blob.credentials.push_back(login("https://b/", {"https://b/**"}, "sb"));
    return true;
  });
  ASSERT_TRUE(saved) << saved.error().message();
  log::ScopedCapture capture;
  StoredCredentials map = load_stored_credentials(store_);
  EXPECT_EQ(map.patterns, (std::vector<std::string>{"https://a/**", "https://api.a/**", "https://b/**"}));
  struct Case {
    const char* url;
    const char* secret;  // empty: no match
  } cases[] = {{"https://api.a/v1/upload", "sa"}, {"https://b/x", "sb"}, {"https://c/", ""}};
  for (const Case& c : cases) {
    auto found = glob_map_lookup(map, c.url);
    if (*c.secret == '\0') {
      EXPECT_TRUE(std::holds_alternative<GlobLookup<StoredCredential>::None>(found.result)) << c.url;
    } else {
      auto* one = std::get_if<GlobLookup<StoredCredential>::One>(&found.result);
      ASSERT_NE(one, nullptr) << c.url;
      EXPECT_EQ(one->value->secret, c.secret);
    }
  }
  // The login's two globs share one expiry-warning flag.
  EXPECT_EQ(map.values[0].warned, map.values[1].warned);
  EXPECT_EQ(auth_lines(capture),
            (std::vector<std::string>{"warn: ignoring invalid stored credential URL pattern `https://[` for "
                                      "`https://a/`:\nerror parsing glob 'https://[': unclosed character class; "
                                      "missing ']'"}));
}

TEST_F(StoredSource, StoreErrorsGiveNothingAndOneWarning) {
  const std::string unreadable = "secret sa";
  ASSERT_EQ(shared_keyring_session().store_entry(unreadable).status, 0);
  log::ScopedCapture capture;
  StoredCredentials map = load_stored_credentials(store_);
  EXPECT_TRUE(map.patterns.empty());
  EXPECT_EQ(auth_lines(capture),
            (std::vector<std::string>{
                "warn: could not read stored credentials: credential store unreadable; remove the `kestro` keyring "
                "entry to reset;\nunlock your OS keyring, or provide credentials via `KESTRO_CRED_*` environment "
                "variables;\ncontinuing without stored credentials"}));
}

TEST_F(StoredSource, EmptyStoreLogsNothing) {
  log::ScopedCapture capture;
  EXPECT_TRUE(load_stored_credentials(store_).patterns.empty());
  EXPECT_TRUE(auth_lines(capture).empty());
}

// Runs in a process of its own on a bus without a Secret Service (libsecret
// keeps its first connection for the process).
TEST(StoredSourceChild, NoBackendIsOneDebugLine) {
  if (!testing::in_keyring_child()) GTEST_SKIP() << "runs inside StoredSourceNoBackend";
  TempDir dir;
  log::ScopedCapture capture;
  StoredCredentials map = load_stored_credentials(CredentialStore{(dir.path() / "credentials.lock").string()});
  EXPECT_TRUE(map.patterns.empty());
  auto lines = auth_lines(capture);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].starts_with("debug: no OS keyring backend (")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(");\nusing `KESTRO_CRED_*` credentials only")) << lines[0];
  // The backend's own message, not the store's sentence around it.
  EXPECT_EQ(lines[0].find("no OS keyring backend is available"), std::string::npos) << lines[0];
}

TEST(StoredSourceNoBackend, BusWithoutSecretService) {
  testing::KeyringSession bus_only(false);
  ASSERT_TRUE(bus_only.ready()) << bus_only.failure();
  auto child = testing::run_keyring_child("StoredSourceChild.*", {{"DBUS_SESSION_BUS_ADDRESS", bus_only.address()}});
  EXPECT_EQ(child.status, 0) << child.out;
}

}  // namespace
}  // namespace kestro::auth
