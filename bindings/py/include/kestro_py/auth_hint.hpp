// The Python exception of a failed index read: which registered class it
// belongs to, and for a refusal (HTTP 401 or 403) a hint naming the
// credential that was sent or the one that is missing. Hints never show a
// token or a password, and never mention stored logins.
#pragma once

#include "kestro_py/namespace.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "kestro/auth/credential.hpp"
#include "kestro/resolve/resolution_error.hpp"
#include "kestro_py/py_errors.hpp"

namespace kestro::py {

// What the hint reads of a call's `AuthPolicy` object.
struct AuthPolicyItem {
  std::string kind;  // "none", "basic", "bearer", "env"
  std::optional<std::string> url_glob;
};

struct HintedFailure {
  ExceptionSlot slot;  // Auth, IndexProtocol or Resolution
  std::string message;
};

// The class and message for a resolver failure; `rendered` is the failure
// with its causes as the bindings render it.
HintedFailure auth_hinted_failure(const resolve::CombinedResolverError& error, std::string_view rendered,
                                  const AuthPolicyItem& item, const auth::UrlGlobMap<auth::ConfiguredCredential>& configured);

// The same, made into the exception. Takes the GIL itself.
PyException raise_http_error_with_auth_hint(const resolve::CombinedResolverError& error, std::string_view rendered,
                                            const AuthPolicyItem& item,
                                            const auth::UrlGlobMap<auth::ConfiguredCredential>& configured);

}  // namespace kestro::py
