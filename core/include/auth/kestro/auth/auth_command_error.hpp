// Errors of the account operations (login, logout, identity query) with
// their display texts, and the index surfaces a login probe addresses.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::auth {

// The surface of an index that a login probe asked: the read surface
// (`index.json`) or the API (`v1/whoami`).
enum class ProbeSurface { Read, Api };

// "index.json" or "v1/whoami".
std::string_view probe_surface_file(ProbeSurface surface);

struct ProbeRejection {
  ProbeSurface surface;
  std::uint16_t status;
  friend bool operator==(const ProbeRejection&, const ProbeRejection&) = default;
};

struct AuthCommandVariants {
  // Logout found no stored login under the index's canonical text.
  struct NoStoredCredential { std::string index; };
  // The index argument as the user wrote it.
  struct NotHttpIndex { std::string url; };
  // The location parser's message.
  struct InvalidIndexUrl { std::string message; };
  // The token was refused and accepted by no surface; `index` is the
  // canonical text, `challenge_schemes` the schemes of the refusals.
  struct ValidationRejected {
    std::string index;
    std::vector<ProbeRejection> rejected;
    std::vector<std::string> challenge_schemes;
  };
  // `error` is the rendered reason the discovery document could not be read
  // or the identity URL not be built.
  struct WhoamiDiscoveryFailed { std::string index; std::string error; };
  struct NoAdvertisedApi { std::string index; };
  // `source_name` and the candidates come filled in: variable names, or
  // stored keys already in backticks.
  struct AmbiguousWhoamiCredential { std::string url; std::string source_name; std::vector<std::string> candidates; };
  // `index` is not shown; the command line adds its hint with it.
  struct NoWhoamiCredential { std::string url; std::string index; };
  // A failure of the credential store, shown as its own text.
  struct Store { CredentialStoreError err; };
  using Sum = std::variant<NoStoredCredential, NotHttpIndex, InvalidIndexUrl, ValidationRejected, WhoamiDiscoveryFailed,
                           NoAdvertisedApi, AmbiguousWhoamiCredential, NoWhoamiCredential, Store>;
};

class AuthCommandError : public ErrorSum<AuthCommandError, AuthCommandVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const NoStoredCredential& v);
  static std::string text_of(const NotHttpIndex& v);
  static std::string text_of(const InvalidIndexUrl& v);
  static std::string text_of(const ValidationRejected& v);
  static std::string text_of(const WhoamiDiscoveryFailed& v);
  static std::string text_of(const NoAdvertisedApi& v);
  static std::string text_of(const AmbiguousWhoamiCredential& v);
  static std::string text_of(const NoWhoamiCredential& v);
  static std::string text_of(const Store& v) { return v.err.message(); }
  static std::string debug_of(const NoStoredCredential& v);
  static std::string debug_of(const NotHttpIndex& v);
  static std::string debug_of(const InvalidIndexUrl& v);
  static std::string debug_of(const ValidationRejected& v);
  static std::string debug_of(const WhoamiDiscoveryFailed& v);
  static std::string debug_of(const NoAdvertisedApi& v);
  static std::string debug_of(const AmbiguousWhoamiCredential& v);
  static std::string debug_of(const NoWhoamiCredential& v);
  static std::string debug_of(const Store& v) { return "Store(" + v.err.debug() + ")"; }
  static const Error* cause_of(const Store& v) { return v.err.cause(); }
};

}  // namespace kestro::auth
