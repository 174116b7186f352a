// The secret-store entry on the desktop Secret Service, through libsecret:
// the only code that includes it.
#include <libsecret/secret.h>

#include "kestro/credentials/credential_store.hpp"
#include "kestro/credentials/keyring_error.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::credentials {

namespace {

// Items carry the attributes `service` and `user`; the schema's name is not
// matched, so an entry written by another tool with the same attributes is
// the same entry.
const SecretSchema* entry_schema() {
  static const SecretSchema schema = [] {
    SecretSchema s{};
    s.name = "kestro.Credentials";
    s.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
    s.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
    s.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
    s.attributes[2] = {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING};
    return s;
  }();
  return &schema;
}

// The process's one-time set-up: only the entry's schema, so it cannot
// fail. Whether a bus and a Secret Service exist is found by the first
// operation, which fails with a platform error when they do not.
const SecretSchema* keyring_entry() {
  static const SecretSchema* schema = [] {
    log::debug(kKeyringStoreTarget, "using the desktop Secret Service for stored credentials");
    return entry_schema();
  }();
  return schema;
}

KeyringFailure category_of(const GError* e) {
  if (e->domain == SECRET_ERROR) {
    switch (e->code) {
      case SECRET_ERROR_IS_LOCKED:
        return KeyringFailure::NoStorageAccess;
      case SECRET_ERROR_NO_SUCH_OBJECT:
        return KeyringFailure::NoEntry;
      case SECRET_ERROR_INVALID_FILE_FORMAT:
        return KeyringFailure::BadStoreFormat;
      case SECRET_ERROR_ALREADY_EXISTS:
        return KeyringFailure::Invalid;
      default:
        return KeyringFailure::Platform;
    }
  }
  if (e->domain == G_DBUS_ERROR) {
    switch (e->code) {
      case G_DBUS_ERROR_ACCESS_DENIED:
      case G_DBUS_ERROR_AUTH_FAILED:
        return KeyringFailure::NoStorageAccess;
      case G_DBUS_ERROR_UNKNOWN_METHOD:
      case G_DBUS_ERROR_NOT_SUPPORTED:
        return KeyringFailure::NotSupported;
      case G_DBUS_ERROR_LIMITS_EXCEEDED:
        return KeyringFailure::TooLong;
      default:
        return KeyringFailure::Platform;  // no owner, no server, spawn, timeout, disconnected
    }
  }
  if (e->domain == G_IO_ERROR) {
    switch (e->code) {
      case G_IO_ERROR_CANCELLED:  // a prompt was dismissed
      case G_IO_ERROR_PERMISSION_DENIED:
        return KeyringFailure::NoStorageAccess;
      default:
        return KeyringFailure::Platform;  // no bus address, socket gone, autolaunch impossible
    }
  }
  return KeyringFailure::NotSupported;
}

// Maps a failed operation, logging it at debug level with the store's own
// text (which never holds the password).
CredentialStoreError failed(std::string_view operation, GError* e) {
  const KeyringFailure kind = category_of(e);
  std::string text = e->message ? e->message : "unknown Secret Service error";
  g_error_free(e);
  log::debug(kKeyringStoreTarget, "Secret Service {} failed: {}", operation, text);
  ErrorPtr inner = kind == KeyringFailure::NoStorageAccess ? make_error<MessageError>(text) : nullptr;
  return map_keyring_error(KeyringError(kind, std::move(text), std::move(inner)));
}

}  // namespace

CredentialStoreError map_keyring_error(const KeyringError& error) {
  switch (error.kind()) {
    case KeyringFailure::Platform:
      return CredentialStoreError::BackendAbsent{std::make_shared<const KeyringError>(error)};
    case KeyringFailure::BadEncoding:
    case KeyringFailure::Ambiguous:
      return CredentialStoreError::Unreadable{};
    case KeyringFailure::TooLong:
      return CredentialStoreError::BlobTooLarge{};
    case KeyringFailure::NoStorageAccess:
      if (error.inner()) return CredentialStoreError::BackendDenied{error.inner()};
      [[fallthrough]];
    default:
      return CredentialStoreError::BackendDenied{std::make_shared<const KeyringError>(error)};
  }
}

std::expected<std::optional<std::string>, CredentialStoreError> keyring_get_blob() {
  GError* e = nullptr;
  SecretValue* value = secret_password_lookup_binary_sync(keyring_entry(), nullptr, &e, "service", kKeyringService,
                                                          "user", kKeyringUser, nullptr);
  if (e) return std::unexpected(failed("lookup", e));
  if (!value) return std::nullopt;
  gsize length = 0;
  const gchar* bytes = secret_value_get(value, &length);
  std::string text(bytes ? bytes : "", bytes ? length : 0);
  secret_value_unref(value);
  if (!is_valid_utf8(text))
    return std::unexpected(map_keyring_error(
        KeyringError(KeyringFailure::BadEncoding, "the stored credential blob is not valid UTF-8")));
  return text;
}

std::expected<void, CredentialStoreError> keyring_set_blob(const std::string& text) {
  GError* e = nullptr;
  SecretValue* value = secret_value_new(text.data(), static_cast<gssize>(text.size()), "text/plain");
  const gboolean ok =
      secret_password_store_binary_sync(keyring_entry(), SECRET_COLLECTION_DEFAULT, "kestro credentials", value,
                                        nullptr, &e, "service", kKeyringService, "user", kKeyringUser, nullptr);
  secret_value_unref(value);
  if (e) return std::unexpected(failed("store", e));
  if (!ok)
    return std::unexpected(map_keyring_error(KeyringError(KeyringFailure::Invalid, "the Secret Service refused the item")));
  return {};
}

std::expected<void, CredentialStoreError> keyring_delete_blob() {
  GError* e = nullptr;
  (void)secret_password_clear_sync(keyring_entry(), nullptr, &e, "service", kKeyringService, "user", kKeyringUser,
                                   nullptr);
  if (e) return std::unexpected(failed("clear", e));
  return {};  // false without an error: there was no entry
}

}  // namespace kestro::credentials
