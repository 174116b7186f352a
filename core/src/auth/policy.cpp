#include "kestro/auth/policy.hpp"

#include <exception>
#include <mutex>

#include "kestro/utils/log.hpp"

namespace kestro::auth {

struct AuthPolicy::State {
  UrlGlobMap<ConfiguredCredential> configured;
  StoredCredentialSource source;
  std::once_flag once;
  StoredCredentials stored;
};

AuthPolicy::AuthPolicy() : AuthPolicy(UrlGlobMap<ConfiguredCredential>{}) {}

AuthPolicy::AuthPolicy(UrlGlobMap<ConfiguredCredential> configured, StoredCredentialSource stored)
    : state_(std::make_shared<State>()) {
  state_->configured = std::move(configured);
  state_->source = std::move(stored);
}

const UrlGlobMap<ConfiguredCredential>& AuthPolicy::configured() const { return state_->configured; }

bool AuthPolicy::has_stored_source() const { return static_cast<bool>(state_->source); }

const StoredCredentials& AuthPolicy::load_stored_credentials_once() const {
  State& s = *state_;
  std::call_once(s.once, [&s] {
    if (!s.source) return;
    try {
      s.stored = s.source();
    } catch (const std::exception& e) {
      log::warn("kestro_core::auth", "credential store read failed: {};\ncontinuing without stored credentials",
                e.what());
    }
  });
  return s.stored;
}

}  // namespace kestro::auth
