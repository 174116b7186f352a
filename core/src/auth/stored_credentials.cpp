#include "kestro/auth/stored_credentials.hpp"

#include "kestro/utils/log.hpp"

namespace kestro::auth {

namespace {
constexpr std::string_view kTarget = "kestro_core::auth";
}

StoredCredentials compile_stored_credentials(std::span<const StoredLogin> logins) {
  UrlGlobMapBuilder<StoredCredential> builder;
  std::vector<Glob> globs;
  for (const StoredLogin& login : logins) {
    StoredCredential credential{login.expires_at, login.key, login.secret, std::make_shared<std::atomic<bool>>(false)};
    for (const std::string& text : login.globs) {
      auto glob = Glob::compile(text);
      if (!glob) {
        log::warn(kTarget, "ignoring invalid stored credential URL pattern `{}` for `{}`:\n{}", text, login.key,
                  glob.error().message());
        continue;
      }
      globs.push_back(std::move(*glob));
      builder.push(text, credential);
    }
  }
  return StoredCredentials{std::move(builder.patterns), std::move(builder.values), GlobSet(std::move(globs))};
}

std::vector<StoredLogin> stored_logins_of(std::span<const credentials::CredentialRecord> records) {
  std::vector<StoredLogin> logins;
  logins.reserve(records.size());
  for (const credentials::CredentialRecord& r : records) logins.push_back({r.key, r.globs, r.secret, r.expires_at});
  return logins;
}

StoredCredentials load_stored_credentials(const credentials::CredentialStore& store) {
  auto records = credentials::read_credential_store(store);
  if (records) return compile_stored_credentials(stored_logins_of(*records));
  const credentials::CredentialStoreError& error = records.error();
  if (const auto* absent = error.get_if<credentials::CredentialStoreError::BackendAbsent>()) {
    log::debug(kTarget, "no OS keyring backend ({});\nusing `KESTRO_CRED_*` credentials only",
               absent->source ? absent->source->message() : error.message());
  } else {
    log::warn(kTarget,
              "could not read stored credentials: {};\nunlock your OS keyring, or provide credentials via "
              "`KESTRO_CRED_*` environment variables;\ncontinuing without stored credentials",
              error.message());
  }
  return {};
}

void warn_credential_maybe_expired(const StoredCredential& credential, time::Timestamp now) {
  if (!credential.expires_at || !(*credential.expires_at < now)) return;
  if (credential.warned->exchange(true)) return;
  log::warn(kTarget, "credential for `{}` may be expired or revoked;\nre-authenticate to store a fresh credential",
            credential.key);
}

}  // namespace kestro::auth
