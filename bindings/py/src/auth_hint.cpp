#include "kestro_py/auth_hint.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestro/auth/bearer_choice.hpp"

namespace kestro::py {
namespace {

using resolve::CombinedResolverError;

// The hint for a refused request to `url`.
std::string refusal_hint(const AuthPolicyItem& item, const auth::UrlGlobMap<auth::ConfiguredCredential>& configured,
                         std::string_view url) {
  if (item.kind == "bearer" || item.kind == "basic")
    return fmt::format("the {} credential for URL glob `{}`\nwas rejected by, or does not match, `{}`", item.kind,
                       item.url_glob.value_or(""), url);
  if (item.kind == "none")
    return fmt::format(
        "no credentials were configured for `{}`;\npass `auth=AuthPolicy.bearer(...)`, `AuthPolicy.basic(...)` or "
        "`AuthPolicy.from_env()`",
        url);
  auto hints = auth::bearer_hint_map(configured);
  if (!hints) return fmt::format("credentials from `KESTRO_CRED_*` were rejected by `{}`", url);
  auto found = auth::glob_map_lookup(*hints, url);
  using Lookup = auth::GlobLookup<auth::BearerHint>;
  if (auto* one = std::get_if<Lookup::One>(&found.result))
    return fmt::format("the bearer token in `KESTRO_CRED_{0}_BEARER_TOKEN` (URL glob\n`KESTRO_CRED_{0}`) was rejected by `{1}`",
                       one->value->label, url);
  if (auto* many = std::get_if<Lookup::Many>(&found.result)) {
    std::vector<std::string> names;
    for (const auto& m : many->matches) names.push_back("`" + auth::credential_variable(m.value->label) + "`");
    return fmt::format("several `KESTRO_CRED_*` URL globs match `{}`:\n{}", url, fmt::join(names, ", "));
  }
  return fmt::format("no `KESTRO_CRED_*` bearer token matches `{}`", url);
}

// Sorting by the failed JSON fetch of discovery or `versions.json`.
HintedFailure by_fetch(const FetchJsonError& fetch, std::string_view rendered, const AuthPolicyItem& item,
                       const auth::UrlGlobMap<auth::ConfiguredCredential>& configured) {
  if (fetch.holds<FetchJsonError::Request>()) return {ExceptionSlot::Resolution, std::string(rendered)};
  if (const auto* status = fetch.get_if<FetchJsonError::BadHttpStatus>()) {
    if (status->status == 401 || status->status == 403)
      return {ExceptionSlot::Auth,
              fmt::format("{}\n  {}", rendered, refusal_hint(item, configured, status->url))};
  }
  return {ExceptionSlot::IndexProtocol, std::string(rendered)};
}

}  // namespace

HintedFailure auth_hinted_failure(const CombinedResolverError& error, std::string_view rendered,
                                  const AuthPolicyItem& item,
                                  const auth::UrlGlobMap<auth::ConfiguredCredential>& configured) {
  const auto* index = error.get_if<CombinedResolverError::Index>();
  if (!index) return {ExceptionSlot::Resolution, std::string(rendered)};
  if (const auto* fetch = index->err.get_if<IndexEnvError::Fetch>()) return by_fetch(fetch->err, rendered, item, configured);
  if (const auto* discovery = index->err.get_if<IndexEnvError::Discovery>()) {
    // Only the discovery document's own JSON fetch is sorted by its status.
    if (const auto* fetch = discovery->err.get_if<DiscoveryError::Fetch>())
      return by_fetch(fetch->err, rendered, item, configured);
  }
  return {ExceptionSlot::IndexProtocol, std::string(rendered)};
}

PyException raise_http_error_with_auth_hint(const CombinedResolverError& error, std::string_view rendered,
                                            const AuthPolicyItem& item,
                                            const auth::UrlGlobMap<auth::ConfiguredCredential>& configured) {
  HintedFailure failure = auth_hinted_failure(error, rendered, item, configured);
  switch (failure.slot) {
    case ExceptionSlot::Auth: return auth_error(failure.message);
    case ExceptionSlot::IndexProtocol: return index_protocol_error(failure.message);
    default: return resolution_error(failure.message);
  }
}

}  // namespace kestro::py
