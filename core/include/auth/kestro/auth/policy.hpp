// The authentication policy of one Python call or command-line run: the
// configured credentials by URL glob, and where the stored logins come from.
// Copies are cheap and share everything, the stored logins included, which
// are read at most once per policy and only when a request first needs them.
#pragma once

#include <functional>
#include <memory>

#include "kestro/auth/credential.hpp"
#include "kestro/auth/stored_credentials.hpp"

namespace kestro::auth {

// Reads the stored logins and compiles them. Reports its own failures in the
// log and gives fewer or no credentials then; an exception that leaves it is
// logged as a failed read.
using StoredCredentialSource = std::function<StoredCredentials()>;

class AuthPolicy {
 public:
  // No configured credentials, no stored logins.
  AuthPolicy();
  explicit AuthPolicy(UrlGlobMap<ConfiguredCredential> configured, StoredCredentialSource stored = nullptr);

  const UrlGlobMap<ConfiguredCredential>& configured() const;
  bool has_stored_source() const;
  // The compiled stored logins, loaded on first use. Concurrent first callers
  // wait for one load; without a source the map is empty and nothing is
  // read or logged. A failed load is not repeated.
  const StoredCredentials& load_stored_credentials_once() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace kestro::auth
