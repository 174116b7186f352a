#include "kestro/credentials/credential_store.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <thread>

#include "kestro/utils/fs.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/text.hpp"
#include "kestro/utils/user_dirs.hpp"

namespace kestro::credentials {

namespace {

namespace fs = std::filesystem;

constexpr const char* kTestStoreVariable = "KESTRO_TEST_CREDENTIAL_STORE";

// The per-user directory of an XDG variable, or the home directory's
// fallback below it.
std::optional<fs::path> xdg_dir(const char* variable, const std::optional<fs::path>& home, const char* fallback) {
  if (auto d = absolute_env_dir(variable)) return d;
  if (home) return *home / fallback;
  return std::nullopt;
}

// Creates every missing directory up to `dir`, each with mode 0700.
std::expected<void, CredentialStoreError> create_private_dirs(const fs::path& dir) {
  fs::path prefix;
  for (const auto& part : dir) {
    prefix /= part;
    if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST) continue;
    return std::unexpected(CredentialStoreError::Lock{FsIoError::MkDir{dir, IoError::last()}});
  }
  return {};
}

// The lock cycle shared by reading and updating: take the lock without
// blocking, polling until the deadline; run `work`; release the lock
// whatever the outcome.
template <typename Work>
auto with_store_lock(const CredentialStore& store, int kind, Work&& work) -> decltype(work()) {
  auto file = open_credential_lock_file(store.lock_path);
  if (!file) return std::unexpected(file.error());
  const auto deadline = std::chrono::steady_clock::now() + store.lock_wait_limit;
  for (;;) {
    if (::flock(file->get(), kind | LOCK_NB) == 0) break;
    const int err = errno;
    if (err == EINTR) continue;
    if (err != EWOULDBLOCK)
      return std::unexpected(
          CredentialStoreError::Lock{FsIoError::LockFile{store.lock_path, IoError::from_errno(err)}});
    if (std::chrono::steady_clock::now() >= deadline)
      return std::unexpected(CredentialStoreError::LockTimeout{store.lock_path});
    std::this_thread::sleep_for(store.lock_retry_interval);
  }
  auto result = work();
  if (::flock(file->get(), LOCK_UN) != 0)
    log::debug(kKeyringStoreTarget, "failed to unlock lock file `{}`: {}", store.lock_path, os_error_text(errno));
  return result;
}

}  // namespace

std::expected<std::string, CredentialStoreError> credential_lock_path() {
  const auto home = home_dir();
  const std::optional<fs::path> candidates[] = {
      xdg_dir("XDG_STATE_HOME", home, ".local/state"),
      xdg_dir("XDG_DATA_HOME", home, ".local/share"),
      home ? std::optional<fs::path>(*home / ".kestro") : std::nullopt,
  };
  for (std::size_t i = 0; i < std::size(candidates); ++i) {
    if (!candidates[i]) continue;
    fs::path path = i < 2 ? *candidates[i] / "kestro" / "credentials.lock" : *candidates[i] / "credentials.lock";
    std::string text = path.string();
    if (is_valid_utf8(text)) return text;
  }
  return std::unexpected(CredentialStoreError::NoLockDir{});
}

std::expected<CredentialStore, CredentialStoreError> open_credential_store() {
  if (std::getenv(kTestStoreVariable) != nullptr)
    return std::unexpected(CredentialStoreError::BackendDenied{make_error<MessageError>(
        fmt::format("{} is set, but this build does not support the\ntest credential store", kTestStoreVariable))});
  auto path = credential_lock_path();
  if (!path) return std::unexpected(path.error());
  return CredentialStore{std::move(*path)};
}

std::expected<UniqueFd, CredentialStoreError> open_credential_lock_file(const std::string& lock_path) {
  const fs::path path(lock_path);
  if (path.has_parent_path())
    if (auto made = create_private_dirs(path.parent_path()); !made) return std::unexpected(made.error());
  auto fd = open_fd(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (!fd) return std::unexpected(CredentialStoreError::Lock{FsIoError::OpenFile{path, fd.error()}});
  return std::move(*fd);
}

std::expected<std::vector<CredentialRecord>, CredentialStoreError> read_credential_store(const CredentialStore& store) {
  return with_store_lock(store, LOCK_SH,
                         []() -> std::expected<std::vector<CredentialRecord>, CredentialStoreError> {
                           auto blob = load_credential_blob();
                           if (!blob) return std::unexpected(blob.error());
                           return std::move(blob->credentials);
                         });
}

std::expected<bool, CredentialStoreError> update_credential_store(const CredentialStore& store,
                                                                  const std::function<bool(CredentialBlob&)>& change) {
  return with_store_lock(store, LOCK_EX, [&]() -> std::expected<bool, CredentialStoreError> {
    auto blob = load_credential_blob();
    if (!blob) return std::unexpected(blob.error());
    if (!change(*blob)) return false;
    if (auto saved = save_credential_blob(*blob); !saved) return std::unexpected(saved.error());
    return true;
  });
}

std::expected<CredentialBlob, CredentialStoreError> load_credential_blob() {
  auto text = keyring_get_blob();
  if (!text) return std::unexpected(text.error());
  if (!*text) return CredentialBlob{};
  return parse_credential_blob(**text);
}

std::expected<void, CredentialStoreError> save_credential_blob(const CredentialBlob& blob) {
  if (blob.is_empty()) return keyring_delete_blob();
  return keyring_set_blob(serialize_credential_blob(blob));
}

}  // namespace kestro::credentials
