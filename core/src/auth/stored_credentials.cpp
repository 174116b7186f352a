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

void warn_credential_maybe_expired(const StoredCredential& credential, time::Timestamp now) {
  if (!credential.expires_at || !(*credential.expires_at < now)) return;
  if (credential.warned->exchange(true)) return;
  log::warn(kTarget, "credential for `{}` may be expired or revoked;\nre-authenticate to store a fresh credential",
            credential.key);
}

}  // namespace kestro::auth
