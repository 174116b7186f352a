// The credential store: the stored logins as the password of one entry of
// the desktop Secret Service (service "kestro", user "credentials"), guarded
// by a per-user lock file that readers hold shared and writers exclusively.
// Every operation blocks the calling thread.
#pragma once

#include <chrono>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kestro/credentials/credential_blob.hpp"
#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/utils/unique_fd.hpp"

namespace kestro::credentials {

// Log target of the store's own lines.
inline constexpr std::string_view kKeyringStoreTarget = "kestro_core::credential_store::keyring_store";

// The identity of the one secret-store entry.
inline constexpr const char* kKeyringService = "kestro";
inline constexpr const char* kKeyringUser = "credentials";

// The handle on the store. It holds no connection: every access opens the
// entry afresh.
struct CredentialStore {
  std::string lock_path;
  std::chrono::milliseconds lock_wait_limit{10'000};
  std::chrono::milliseconds lock_retry_interval{100};
};

// The lock file's path: the per-user state directory (`XDG_STATE_HOME` when
// absolute, else `~/.local/state`), then the data directory (`XDG_DATA_HOME`
// when absolute, else `~/.local/share`), each joined with
// "kestro/credentials.lock", then `~/.kestro/credentials.lock`. The home
// directory is `HOME` when set and not empty, else the password database's.
// A candidate that cannot be determined or is not UTF-8 is skipped; none
// left is `NoLockDir`.
std::expected<std::string, CredentialStoreError> credential_lock_path();

// The store of this run: refused with `BackendDenied` while
// `KESTRO_TEST_CREDENTIAL_STORE` is set (even empty); else the lock path
// above with a 10 s wait limit polled every 100 ms.
std::expected<CredentialStore, CredentialStoreError> open_credential_store();

// Creates the lock file's directory (mode 0700 for each one made) and opens
// the file, creating it with mode 0600; an existing file is left as it is.
std::expected<UniqueFd, CredentialStoreError> open_credential_lock_file(const std::string& lock_path);

// The stored records in store order, read under the shared lock. A missing
// entry gives no records.
std::expected<std::vector<CredentialRecord>, CredentialStoreError> read_credential_store(const CredentialStore& store);

// Under the exclusive lock: loads the blob (a missing entry gives the empty
// blob), runs `change` on it and saves it when `change` returns true.
// Returns whether it was saved. A failed load runs no change and writes
// nothing.
std::expected<bool, CredentialStoreError> update_credential_store(const CredentialStore& store,
                                                                  const std::function<bool(CredentialBlob&)>& change);

// The entry's blob; the empty blob when there is no entry. The caller holds
// the lock.
std::expected<CredentialBlob, CredentialStoreError> load_credential_blob();
// Writes the blob, or deletes the entry when the blob has no records and no
// extra keys. The caller holds the exclusive lock.
std::expected<void, CredentialStoreError> save_credential_blob(const CredentialBlob& blob);

// One secret-store operation each on the entry. Reading a missing entry
// gives none; deleting a missing entry succeeds. A password that is not
// UTF-8 is `Unreadable`.
std::expected<std::optional<std::string>, CredentialStoreError> keyring_get_blob();
std::expected<void, CredentialStoreError> keyring_set_blob(const std::string& text);
std::expected<void, CredentialStoreError> keyring_delete_blob();

}  // namespace kestro::credentials
