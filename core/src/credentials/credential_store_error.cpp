#include "kestro/credentials/credential_store_error.hpp"

#include <fmt/format.h>

namespace kestro::credentials {

std::string CredentialStoreError::text_of(const Unreadable&) {
  return "credential store unreadable; remove the `kestro` keyring entry to reset";
}
std::string CredentialStoreError::text_of(const UnsupportedBlobVersion& v) {
  return fmt::format("unsupported credential store blob version {} (this build supports version {})", v.found,
                     v.expected);
}
std::string CredentialStoreError::text_of(const BackendAbsent& v) {
  return "no OS keyring backend is available: " + v.source->message();
}
std::string CredentialStoreError::text_of(const BackendDenied&) {
  return "the OS keyring denied access (it may be locked)";
}
std::string CredentialStoreError::text_of(const LockTimeout& v) {
  return fmt::format(
      "timed out waiting for the credential store lock at `{}`; retry once other kestro processes finish", v.path);
}
std::string CredentialStoreError::text_of(const NoLockDir&) {
  return "could not determine a per-user directory for the credential store lock file";
}
std::string CredentialStoreError::text_of(const BlobTooLarge&) {
  return "credential store full on this platform (Windows ~2.5 KB limit);\nremove an unused credential or use a "
         "smaller token";
}

}  // namespace kestro::credentials
