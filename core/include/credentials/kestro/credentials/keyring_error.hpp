// Failures of the secret store as categories, and their mapping onto the
// credential store's error. The Secret Service's own texts appear only as
// causes.
#pragma once

#include <string>

#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::credentials {

enum class KeyringFailure {
  Platform,         // no message bus, no Secret Service on it, a broken connection
  NoStorageAccess,  // the store is locked or refused the access
  NoEntry,
  BadEncoding,  // the stored password is not UTF-8
  BadDataFormat,
  BadStoreFormat,
  TooLong,
  Invalid,
  Ambiguous,  // more than one entry matched
  NoDefaultStore,
  NotSupported,
};

// One secret-store failure: its category, the store's own text and, for
// refused access, the inner error that says why.
class KeyringError : public Error {
 public:
  KeyringError(KeyringFailure kind, std::string text, ErrorPtr inner = nullptr)
      : kind_(kind), text_(std::move(text)), inner_(std::move(inner)) {}
  KeyringFailure kind() const { return kind_; }
  const ErrorPtr& inner() const { return inner_; }
  std::string message() const override { return text_; }
  const Error* cause() const override { return inner_.get(); }

 private:
  KeyringFailure kind_;
  std::string text_;
  ErrorPtr inner_;
};

// Platform failures are `BackendAbsent`; refused access and every category
// without a place of its own are `BackendDenied`; bad encoding and
// ambiguity are `Unreadable`; a password too long is `BlobTooLarge`.
CredentialStoreError map_keyring_error(const KeyringError& error);

}  // namespace kestro::credentials
