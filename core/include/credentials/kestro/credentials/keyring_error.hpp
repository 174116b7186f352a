// Failures of the secret store as categories, and their mapping onto the
// credential store's error. The Secret Service's own texts appear only as
// causes.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::credentials {

// Failures of the secret store by category; each holds the store's own
// text, which is the error's text.
struct KeyringVariants {
  // No message bus, no Secret Service on it, a broken connection.
  struct Platform { std::string text; };
  // The store is locked or refused the access; `reason` says why.
  struct NoStorageAccess { std::string text; std::optional<MessageError> reason; };
  struct NoEntry { std::string text; };
  // The stored password is not UTF-8.
  struct BadEncoding { std::string text; };
  struct BadDataFormat { std::string text; };
  struct BadStoreFormat { std::string text; };
  struct TooLong { std::string text; };
  struct Invalid { std::string text; };
  // More than one entry matched.
  struct Ambiguous { std::string text; };
  struct NoDefaultStore { std::string text; };
  struct NotSupported { std::string text; };
  using Sum = std::variant<Platform, NoStorageAccess, NoEntry, BadEncoding, BadDataFormat, BadStoreFormat, TooLong,
                           Invalid, Ambiguous, NoDefaultStore, NotSupported>;
};

// One secret-store failure: its category and the store's own text; the
// reason of refused access is the cause.
class KeyringError : public ErrorSum<KeyringError, KeyringVariants> {
 public:
  using ErrorSum::ErrorSum;
  template <typename V>
  static std::string text_of(const V& v) {
    return v.text;
  }
  static const Error* cause_of(const NoStorageAccess& v) { return v.reason ? &*v.reason : nullptr; }
};

// Platform failures are `BackendAbsent`; refused access and every category
// without a place of its own are `BackendDenied`; bad encoding and
// ambiguity are `Unreadable`; a password too long is `BlobTooLarge`.
CredentialStoreError map_keyring_error(const KeyringError& error);

}  // namespace kestro::credentials
