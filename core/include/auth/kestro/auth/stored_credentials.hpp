// The user's stored logins as requests see them: a URL glob map from each
// stored glob to the login's bearer secret, compiled once per policy.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kestro/auth/url_glob.hpp"
#include "kestro/credentials/credential_store.hpp"
#include "kestro/utils/calendar.hpp"

namespace kestro::auth {

struct StoredCredential {
  std::optional<time::Timestamp> expires_at;
  std::string key;     // for messages only
  std::string secret;  // sent as a bearer token
  // One flag per login, shared by the entries of its several globs: the
  // expiry warning is given at most once per login.
  std::shared_ptr<std::atomic<bool>> warned;
};

using StoredCredentials = UrlGlobMap<StoredCredential>;

// What a stored login hands to the request path.
struct StoredLogin {
  std::string key;
  std::vector<std::string> globs;
  std::string secret;
  std::optional<time::Timestamp> expires_at;
};

// One entry per valid glob, in login order and glob order within a login. A
// glob that does not compile is skipped with a warning naming it and the
// login's key; the login's other globs stay. Never fails.
StoredCredentials compile_stored_credentials(std::span<const StoredLogin> logins);

// The request path's view of the store's records.
std::vector<StoredLogin> stored_logins_of(std::span<const credentials::CredentialRecord> records);

// Reads the store and compiles its logins. Never fails: a platform without
// a secret-store backend gives a debug line, any other store error a warn
// line, and both no stored credentials.
StoredCredentials load_stored_credentials(const credentials::CredentialStore& store);

// After a stored credential was answered with a client error: warns once per
// login that it may be expired, when its expiry is earlier than `now`.
void warn_credential_maybe_expired(const StoredCredential& credential, time::Timestamp now = time::Timestamp::now());

}  // namespace kestro::auth
