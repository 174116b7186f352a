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

// The failure the error stands for, with the store's text.
KeyringError keyring_error_of(const GError* e, std::string text) {
  if (e->domain == SECRET_ERROR) {
    switch (e->code) {
      case SECRET_ERROR_IS_LOCKED:
        return KeyringError::NoStorageAccess{text, MessageError(text)};
      case SECRET_ERROR_NO_SUCH_OBJECT:
        return KeyringError::NoEntry{std::move(text)};
      case SECRET_ERROR_INVALID_FILE_FORMAT:
        return KeyringError::BadStoreFormat{std::move(text)};
      case SECRET_ERROR_ALREADY_EXISTS:
        return KeyringError::Invalid{std::move(text)};
      default:
        return KeyringError::Platform{std::move(text)};
    }
  }
  if (e->domain == G_DBUS_ERROR) {
    switch (e->code) {
      case G_DBUS_ERROR_ACCESS_DENIED:
      case G_DBUS_ERROR_AUTH_FAILED:
        return KeyringError::NoStorageAccess{text, MessageError(text)};
      case G_DBUS_ERROR_UNKNOWN_METHOD:
      case G_DBUS_ERROR_NOT_SUPPORTED:
        return KeyringError::NotSupported{std::move(text)};
      case G_DBUS_ERROR_LIMITS_EXCEEDED:
        return KeyringError::TooLong{std::move(text)};
      default:
        return KeyringError::Platform{std::move(text)};  // no owner, no server, spawn, timeout, disconnected
    }
  }
  if (e->domain == G_IO_ERROR) {
    switch (e->code) {
      case G_IO_ERROR_CANCELLED:  // a prompt was dismissed
      case G_IO_ERROR_PERMISSION_DENIED:
        return KeyringError::NoStorageAccess{text, MessageError(text)};
      default:
        return KeyringError::Platform{std::move(text)};  // no bus address, socket gone, autolaunch impossible
    }
  }
  return KeyringError::NotSupported{std::move(text)};
}

// Maps a failed operation, logging it at debug level with the store's own
// text (which never holds the password).
CredentialStoreError failed(std::string_view operation, GError* e) {
  std::string text = e->message ? e->message : "unknown Secret Service error";
  log::debug(kKeyringStoreTarget, "Secret Service {} failed: {}", operation, text);
  KeyringError error = keyring_error_of(e, std::move(text));
  g_error_free(e);
  return map_keyring_error(error);
}

}  // namespace

CredentialStoreError map_keyring_error(const KeyringError& error) {
  using E = KeyringError;
  if (error.holds<E::Platform>()) return CredentialStoreError::BackendAbsent{std::make_shared<const E>(error)};
  if (error.holds<E::BadEncoding>() || error.holds<E::Ambiguous>()) return CredentialStoreError::Unreadable{};
  if (error.holds<E::TooLong>()) return CredentialStoreError::BlobTooLarge{};
  if (const auto* refused = error.get_if<E::NoStorageAccess>(); refused && refused->reason)
    return CredentialStoreError::BackendDenied{std::make_shared<const MessageError>(*refused->reason)};
  return CredentialStoreError::BackendDenied{std::make_shared<const E>(error)};
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
        KeyringError::BadEncoding{"the stored credential blob is not valid UTF-8"}));
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
    return std::unexpected(map_keyring_error(KeyringError::Invalid{"the Secret Service refused the item"}));
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
