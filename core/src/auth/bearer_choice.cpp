#include "kestro/auth/bearer_choice.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestro/auth/scope.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/utils/styles.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::auth {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
// A stored credential expired up to this long ago still uploads.
constexpr std::int64_t kPublishExpiryGraceSeconds = 3'600;

const std::string& hint_token(const BearerHint& h) { return h.token; }
std::string hint_variable(const BearerHint& h) { return credential_variable(h.label); }
const std::string& stored_secret(const StoredCredential& c) { return c.secret; }

std::vector<std::string> in_backticks(std::vector<std::string> names) {
  for (std::string& n : names) n = "`" + n + "`";
  return names;
}

// Whole seconds from `now` to `then`, the fraction cut toward zero.
std::int64_t whole_seconds_between(time::Timestamp now, time::Timestamp then) {
  std::int64_t seconds = then.seconds - now.seconds;
  const std::int64_t nanos = static_cast<std::int64_t>(then.nanos) - static_cast<std::int64_t>(now.nanos);
  if (seconds > 0 && nanos < 0) --seconds;
  if (seconds < 0 && nanos > 0) ++seconds;
  return seconds;
}

}  // namespace

std::expected<BearerHintMap, GlobError> bearer_hint_map(const UrlGlobMap<ConfiguredCredential>& configured) {
  UrlGlobMapBuilder<BearerHint> builder;
  for (std::size_t i = 0; i < configured.values.size(); ++i)
    if (const auto* bearer = std::get_if<ConfiguredCredential::Bearer>(&configured.values[i].kind))
      builder.push(configured.patterns[i], BearerHint{bearer->label, bearer->token});
  return build_url_glob_map(std::move(builder));
}

std::string credential_variable(std::string_view label) { return fmt::format("KESTRO_CRED_{}", label); }

std::expected<WhoamiCredential, AuthCommandError> select_whoami_credential(const BearerHintMap& environment,
                                                                           std::span<const CredentialRecord> stored,
                                                                           std::string_view whoami_url,
                                                                           std::string_view index) {
  using E = AuthCommandError;
  auto env = pick_bearer(environment, whoami_url, hint_token, hint_variable);
  if (env.chosen) return WhoamiCredential{WhoamiCredential::Source::Environment, env.chosen->label, env.chosen->token};
  if (!env.conflict.empty())
    return std::unexpected(E(E::AmbiguousWhoamiCredential{
        std::string(whoami_url), "`KESTRO_CRED_*` environment variables", std::move(env.conflict)}));
  const StoredCredentials compiled = compile_stored_credentials(stored_logins_of(stored));
  auto own = pick_bearer(compiled, whoami_url, stored_secret, [](const StoredCredential& c) { return c.key; });
  if (own.chosen) return WhoamiCredential{WhoamiCredential::Source::Stored, own.chosen->key, own.chosen->secret};
  if (!own.conflict.empty())
    return std::unexpected(E(E::AmbiguousWhoamiCredential{std::string(whoami_url), "stored credentials",
                                                          in_backticks(std::move(own.conflict))}));
  return std::unexpected(E(E::NoWhoamiCredential{std::string(whoami_url), std::string(index)}));
}

const std::string& PublishCredential::token() const {
  if (const auto* env = std::get_if<Environment>(&kind)) return env->token;
  return std::get<Stored>(kind).secret;
}

std::expected<PublishCredential, PublishError> publish_bearer_credential(const BearerHintMap& environment,
                                                                         const AuthPolicy& policy,
                                                                         std::string_view upload_url) {
  using E = PublishError;
  auto env = pick_bearer(environment, upload_url, hint_token, hint_variable);
  if (env.chosen) return PublishCredential{PublishCredential::Environment{env.chosen->label, env.chosen->token}};
  if (!env.conflict.empty())
    return std::unexpected(E(E::AmbiguousPublishBearer{
        std::string(upload_url), PublishBearerConflict{PublishBearerConflict::Env{std::move(env.conflict)}}}));
  const StoredCredentials& stored = policy.load_stored_credentials_once();
  auto own = pick_bearer(stored, upload_url, stored_secret, [](const StoredCredential& c) { return c.key; });
  if (own.chosen)
    return PublishCredential{PublishCredential::Stored{own.chosen->expires_at, own.chosen->key, own.chosen->secret}};
  if (!own.conflict.empty())
    return std::unexpected(E(E::AmbiguousPublishBearer{
        std::string(upload_url), PublishBearerConflict{PublishBearerConflict::Stored{std::move(own.conflict)}}}));
  return std::unexpected(E(E::NoPublishBearer{std::string(upload_url)}));
}

std::expected<void, PublishError> check_publish_expiry(const PublishCredential& credential, time::Timestamp now) {
  const auto* stored = std::get_if<PublishCredential::Stored>(&credential.kind);
  if (!stored || !stored->expires_at) return {};
  // Past by more than the grace: its whole seconds exceed it, or equal it
  // with a fraction left over.
  const time::Timestamp deadline{stored->expires_at->seconds + kPublishExpiryGraceSeconds, stored->expires_at->nanos};
  if (now > deadline) return std::unexpected(PublishError(PublishError::StoredCredentialExpired{stored->key, *stored->expires_at}));
  return {};
}

std::string PublishError::text_of(const NoPublishBearer& v) {
  return fmt::format(
      "no bearer token credentials configured for publish URL `{}`;\nset `KESTRO_CRED_<X>` and "
      "`KESTRO_CRED_<X>_BEARER_TOKEN` with a matching URL pattern",
      v.upload_url);
}

std::string PublishError::text_of(const AmbiguousPublishBearer& v) {
  if (const auto* env = std::get_if<PublishBearerConflict::Env>(&v.conflict.kind))
    return fmt::format("multiple bearer token credentials from {} configured for publish URL `{}`:\n{};\n{}",
                       "`KESTRO_CRED_*` environment variables", v.upload_url, fmt::join(env->variables, ", "),
                       "refine `KESTRO_CRED_<X>` URL patterns so exactly one bearer token matches");
  const auto& stored = std::get<PublishBearerConflict::Stored>(v.conflict.kind);
  return fmt::format("multiple bearer token credentials from {} configured for publish URL `{}`:\n{};\n{}",
                     "stored credentials", v.upload_url, fmt::join(in_backticks(stored.keys), ", "),
                     "remove or narrow overlapping stored credentials so exactly one bearer token matches");
}

std::string PublishError::text_of(const StoredCredentialExpired& v) {
  return fmt::format(
      "the stored credential for `{}` expired at {}, so publish stopped\nbefore uploading (a matching "
      "`KESTRO_CRED_*` environment credential would take\nprecedence instead)",
      v.key, format_utc_timestamp(v.expires_at.seconds, v.expires_at.nanos));
}

std::string PublishError::debug_of(const NoPublishBearer& v) {
  return fmt::format("NoPublishBearer {{ upload_url: {} }}", debug_quote(v.upload_url));
}
std::string PublishError::debug_of(const AmbiguousPublishBearer& v) {
  const auto* env = std::get_if<PublishBearerConflict::Env>(&v.conflict.kind);
  const std::string conflict = env ? fmt::format("Env {{ variables: {} }}", debug_list(env->variables))
                                   : fmt::format("Stored {{ keys: {} }}",
                                                 debug_list(std::get<PublishBearerConflict::Stored>(v.conflict.kind).keys));
  return fmt::format("AmbiguousPublishBearer {{ upload_url: {}, conflict: {} }}", debug_quote(v.upload_url), conflict);
}
std::string PublishError::debug_of(const StoredCredentialExpired& v) {
  return fmt::format("StoredCredentialExpired {{ key: {}, expires_at: {} }}", debug_quote(v.key),
                     debug_quote(format_utc_timestamp(v.expires_at.seconds, v.expires_at.nanos)));
}

AuthStatusReport build_auth_status(std::span<const CredentialRecord> stored,
                                   std::span<const EnvCredentialGlob> environment, time::Timestamp now,
                                   const std::optional<std::string>& default_index) {
  std::optional<std::string> scope;
  if (default_index)
    if (auto location = parse_index_location(*default_index)) scope = credential_scope_url(*location);
  const auto covers = [&](const Glob& glob) { return scope && glob.matches(*scope); };

  AuthStatusReport report;
  std::vector<std::pair<Glob, std::string>> shadowing;
  for (const auto& [label, pattern] : environment) {
    EnvCredentialStatus status{label, pattern, false};
    if (auto glob = Glob::compile(pattern)) {
      status.covers_default_index = covers(*glob);
      shadowing.emplace_back(std::move(*glob), label);
    }
    report.environment.push_back(std::move(status));
  }
  for (const CredentialRecord& record : stored) {
    StoredLoginStatus row;
    row.record = record;
    for (const auto& [glob, label] : shadowing)
      if (glob.matches(record.key)) row.shadowed_by.push_back(label);
    if (record.expires_at) {
      row.has_expiry = true;
      row.expired = *record.expires_at < now;
      row.days_left = whole_seconds_between(now, *record.expires_at) / kSecondsPerDay;
    }
    if (default_index && *default_index == record.key) {
      row.covers_default_index = true;
    } else {
      for (const std::string& pattern : record.globs) {
        auto glob = Glob::compile(pattern);
        if (glob && covers(*glob)) {
          row.covers_default_index = true;
          break;
        }
      }
    }
    report.stored.push_back(std::move(row));
  }
  return report;
}

}  // namespace kestro::auth
