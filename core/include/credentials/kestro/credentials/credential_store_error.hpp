// The error of the stored-credential store: reading or writing the secret
// store's entry, parsing its blob, and the per-user lock file around them.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::credentials {

struct CredentialStoreVariants {
  struct Unreadable {};
  struct UnsupportedBlobVersion { std::uint32_t found; std::uint32_t expected; };
  // `source` is the backend's own error, of whichever backend failed (the
  // secret store's category, its refusal's reason, the process-wide refusal).
  struct BackendAbsent { ErrorPtr source; };
  struct BackendDenied { ErrorPtr source; };
  struct LockTimeout { std::string path; };
  struct Lock { FsIoError err; };
  struct NoLockDir {};
  struct BlobTooLarge {};
  using Sum = std::variant<Unreadable, UnsupportedBlobVersion, BackendAbsent, BackendDenied, LockTimeout, Lock,
                           NoLockDir, BlobTooLarge>;
};
class CredentialStoreError : public ErrorSum<CredentialStoreError, CredentialStoreVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Unreadable&);
  static std::string text_of(const UnsupportedBlobVersion& v);
  static std::string text_of(const BackendAbsent& v);
  static std::string text_of(const BackendDenied&);
  static std::string text_of(const LockTimeout& v);
  static std::string text_of(const Lock&) { return "credential store lock error"; }
  static std::string text_of(const NoLockDir&);
  static std::string text_of(const BlobTooLarge&);
  static const Error* cause_of(const BackendAbsent& v) { return v.source.get(); }
  static const Error* cause_of(const BackendDenied& v) { return v.source.get(); }
  static const Error* cause_of(const Lock& v) { return &v.err; }
};

}  // namespace kestro::credentials
