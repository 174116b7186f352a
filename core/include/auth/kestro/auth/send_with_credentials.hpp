// The authenticated read: every index and remote-project read goes through
// here. First the configured phase (each configured credential whose glob
// matches, through the priority fallback; no match: one unauthenticated
// request); then, only when that ends with a client error other than 429,
// the stored logins that match, each sent directly as a bearer token. The
// first answer that is no client error wins; otherwise a fixed one of the
// rejected answers is returned. Statuses are never errors here.
#pragma once

#include "kestro/auth/policy.hpp"
#include "kestro/auth/senders.hpp"

namespace kestro::auth {

SendResult send_with_credentials(const AuthPolicy& policy, RequestVariant variant, const url::Url& url,
                                 const http::Client& client);

}  // namespace kestro::auth
