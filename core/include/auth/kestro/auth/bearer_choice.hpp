// Choosing the one bearer token for a URL from the `KESTRO_CRED_*` bearer
// credentials and, only when none of them matches, from the stored logins:
// the identity query's credential and the publish upload's credential.
// Also the view behind the account status: each stored login's expiry and
// coverage of the default index, and the environment credentials that take
// precedence over it.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <algorithm>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/auth/auth_command_error.hpp"
#include "kestro/auth/credential.hpp"
#include "kestro/auth/policy.hpp"
#include "kestro/auth/stored_credentials.hpp"
#include "kestro/credentials/credential_blob.hpp"
#include "kestro/utils/calendar.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::auth {

// A `KESTRO_CRED_<X>` bearer credential: its label `<X>` and token.
struct BearerHint {
  std::string label;
  std::string token;
};
using BearerHintMap = UrlGlobMap<BearerHint>;

// The bearer pairs of the configured credentials, with their patterns, in
// pair order; basic pairs are left out. Fails when a pattern does not
// compile.
std::expected<BearerHintMap, GlobError> bearer_hint_map(const UrlGlobMap<ConfiguredCredential>& configured);

// The one value a map gives a URL. Several matches whose tokens are equal
// byte for byte count as the first; with different tokens the choice is
// ambiguous and `conflict` names the matches in order, each name once.
template <typename T>
struct BearerPick {
  const T* chosen = nullptr;           // none and no conflict: nothing matched
  std::vector<std::string> conflict;
};

template <typename T, typename TokenOf, typename NameOf>
BearerPick<T> pick_bearer(const UrlGlobMap<T>& map, std::string_view url, TokenOf token_of, NameOf name_of) {
  GlobLookup<T> found = glob_map_lookup(map, url);
  if (auto* one = std::get_if<typename GlobLookup<T>::One>(&found.result)) return {one->value, {}};
  auto* many = std::get_if<typename GlobLookup<T>::Many>(&found.result);
  if (!many) return {};
  const T* first = many->matches.front().value;
  bool same = true;
  for (const auto& m : many->matches) same = same && token_of(*m.value) == token_of(*first);
  if (same) return {first, {}};
  BearerPick<T> pick;
  for (const auto& m : many->matches) {
    std::string name = name_of(*m.value);
    if (std::find(pick.conflict.begin(), pick.conflict.end(), name) == pick.conflict.end())
      pick.conflict.push_back(std::move(name));
  }
  return pick;
}

// "KESTRO_CRED_{label}".
std::string credential_variable(std::string_view label);

// The token for the identity query.
struct WhoamiCredential {
  enum class Source { Environment, Stored };
  Source source;
  std::string name;   // the label `<X>`, or the stored key
  std::string token;  // never logged or shown
};

// The environment first; only when no bearer credential there matches
// `whoami_url`, the stored records (invalid stored globs cost a warning).
// `index` is carried by `NoWhoamiCredential` for the command line's hint.
std::expected<WhoamiCredential, AuthCommandError> select_whoami_credential(
    const BearerHintMap& environment, std::span<const CredentialRecord> stored, std::string_view whoami_url,
    std::string_view index);

// The token for a publish upload.
struct PublishCredential {
  struct Environment {
    std::string label;
    std::string token;
  };
  struct Stored {
    std::optional<time::Timestamp> expires_at;
    std::string key;
    std::string secret;
  };
  std::variant<Environment, Stored> kind;
  // The bearer token the upload sends.
  const std::string& token() const;
};

struct PublishBearerConflict {
  struct Env { std::vector<std::string> variables; };
  struct Stored { std::vector<std::string> keys; };  // as stored, without backticks
  std::variant<Env, Stored> kind;
};

struct PublishErrorVariants {
  struct NoPublishBearer { std::string upload_url; };
  struct AmbiguousPublishBearer { std::string upload_url; PublishBearerConflict conflict; };
  struct StoredCredentialExpired { std::string key; time::Timestamp expires_at; };
  using Sum = std::variant<NoPublishBearer, AmbiguousPublishBearer, StoredCredentialExpired>;
};
class PublishError : public ErrorSum<PublishError, PublishErrorVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoPublishBearer& v);
  static std::string text_of(const AmbiguousPublishBearer& v);
  static std::string text_of(const StoredCredentialExpired& v);
  static std::string debug_of(const NoPublishBearer& v);
  static std::string debug_of(const AmbiguousPublishBearer& v);
  static std::string debug_of(const StoredCredentialExpired& v);
};

// The environment first; only when no bearer credential there matches the
// upload URL, the policy's stored logins, read now on this thread (without
// a store source there are none).
std::expected<PublishCredential, PublishError> publish_bearer_credential(const BearerHintMap& environment,
                                                                         const AuthPolicy& policy,
                                                                         std::string_view upload_url);

// The check before an upload: a stored credential whose expiry lies more
// than one hour before `now` stops it. Environment credentials and stored
// ones without expiry always pass.
std::expected<void, PublishError> check_publish_expiry(const PublishCredential& credential,
                                                       time::Timestamp now = time::Timestamp::now());

// The account status.
struct StoredLoginStatus {
  CredentialRecord record;
  bool has_expiry = false;
  std::int64_t days_left = 0;  // whole days to the expiry, toward zero
  bool expired = false;
  bool covers_default_index = false;
  std::vector<std::string> shadowed_by;  // environment labels, in environment order
};

struct EnvCredentialStatus {
  std::string label;
  std::string url_glob;
  bool covers_default_index = false;
};

struct AuthStatusReport {
  std::vector<StoredLoginStatus> stored;
  std::vector<EnvCredentialStatus> environment;
};

// (label, URL glob) of one environment credential.
using EnvCredentialGlob = std::pair<std::string, std::string>;

// Never fails: globs that do not compile cover and shadow nothing, and a
// default index text that is not an index location only removes the scope.
AuthStatusReport build_auth_status(std::span<const CredentialRecord> stored, std::span<const EnvCredentialGlob> environment,
                                   time::Timestamp now, const std::optional<std::string>& default_index);

}  // namespace kestro::auth
