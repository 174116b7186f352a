// The credential store for real: the lock path rules, the lock file, lock
// contention with util-linux's flock(1) in another process, and the entry
// on gnome-keyring's Secret Service in a private session, looked at with
// secret-tool.
#include <pwd.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kestro/credentials/credential_store.hpp"
#include "kestro/credentials/keyring_error.hpp"
#include "kestro/utils/log.hpp"
#include "support/keyring_session.hpp"
#include "support/log_capture.hpp"
#include "test_support.hpp"

namespace kestro::credentials {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::environment_with;
using testing::KeyringSession;
using testing::run_command;
using testing::shared_keyring_session;

constexpr const char* kToken = "tok-SECRET-9f2c";

unsigned mode_of(const fs::path& p) {
  struct stat st{};
  ::stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(CredentialLockPath, Candidates) {
  TempDir dir;
  const std::string home = (dir.path() / "home").string();
  struct Case {
    const char* name;
    std::optional<std::string> state, data, home;
    std::string expected;
  };
  const Case cases[] = {
      {"absolute state directory", "/st", "/da", home, "/st/kestro/credentials.lock"},
      {"relative state directory is ignored", "st", "/da", home, home + "/.local/state/kestro/credentials.lock"},
      {"no state directory", std::nullopt, "/da", home, home + "/.local/state/kestro/credentials.lock"},
      {"empty state directory", "", std::nullopt, home, home + "/.local/state/kestro/credentials.lock"},
      {"state not UTF-8 falls to the data directory", "/st\xff", "/da", home, "/da/kestro/credentials.lock"},
      {"state and data not UTF-8 fall to the home directory", "/st\xff", "/da\xff", home,
       home + "/.kestro/credentials.lock"},
      {"relative data directory uses the home's", "/st\xff", "da", home,
       home + "/.local/share/kestro/credentials.lock"},
  };
  for (const auto& c : cases) {
    ScopedEnv env({{"XDG_STATE_HOME", c.state}, {"XDG_DATA_HOME", c.data}, {"HOME", c.home}});
    auto path = credential_lock_path();
    ASSERT_TRUE(path.has_value()) << c.name;
    EXPECT_EQ(*path, c.expected) << c.name;
  }
}

TEST(CredentialLockPath, EmptyHomeUsesThePasswordDatabase) {
  ScopedEnv env({{"XDG_STATE_HOME", std::nullopt}, {"HOME", ""}});
  auto path = credential_lock_path();
  ASSERT_TRUE(path.has_value());
  struct passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(*path, fs::path(pw->pw_dir) / ".local/state/kestro/credentials.lock");
}

TEST(CredentialLockPath, NoCandidateLeft) {
  ScopedEnv env({{"XDG_STATE_HOME", "/s\xff"}, {"XDG_DATA_HOME", "/d\xff"}, {"HOME", "/h\xff"}});
  auto path = credential_lock_path();
  ASSERT_FALSE(path.has_value());
  EXPECT_EQ(path.error().message(), "could not determine a per-user directory for the credential store lock file");
}

TEST(OpenCredentialStore, RefusedWhileTheTestVariableIsSet) {
  for (std::string value : {"", "1"}) {
    ScopedEnv env({{"KESTRO_TEST_CREDENTIAL_STORE", std::optional<std::string>(value)}});
    auto store = open_credential_store();
    ASSERT_FALSE(store.has_value());
    EXPECT_EQ(render_error_chain(store.error()),
              "the OS keyring denied access (it may be locked)\n  caused by: KESTRO_TEST_CREDENTIAL_STORE is set, but "
              "this build does not support the\ntest credential store\n");
  }
  ScopedEnv env({{"KESTRO_TEST_CREDENTIAL_STORE", std::nullopt}, {"XDG_STATE_HOME", "/st"}});
  auto store = open_credential_store();
  ASSERT_TRUE(store.has_value());
  EXPECT_EQ(store->lock_path, "/st/kestro/credentials.lock");
  EXPECT_EQ(store->lock_wait_limit, std::chrono::seconds(10));
  EXPECT_EQ(store->lock_retry_interval, std::chrono::milliseconds(100));
}

TEST(CredentialLockFile, PrivateDirectoriesAndFile) {
  TempDir dir;
  const fs::path lock = dir.path() / "a/b/credentials.lock";
  ASSERT_TRUE(open_credential_lock_file(lock.string()).has_value());
  EXPECT_EQ(mode_of(dir.path() / "a"), 0700u);
  EXPECT_EQ(mode_of(dir.path() / "a/b"), 0700u);
  EXPECT_EQ(mode_of(lock), 0600u);
  // An existing file keeps its content and mode.
  write_text(lock, "x");
  fs::permissions(lock, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(open_credential_lock_file(lock.string()).has_value());
  EXPECT_EQ(mode_of(lock), 0640u);
  EXPECT_EQ(fs::file_size(lock), 1u);
}

TEST(CredentialLockFile, UncreatableDirectoryIsALockError) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
  fs::create_directories(dir.path() / "ro");
  fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                         fs::perms::others_exec, fs::perm_options::replace);
  const std::string lock = (dir.path() / "ro/kestro/credentials.lock").string();
  const std::string expected = "credential store lock error\n  caused by: failed to create directory\n  `" +
                               (dir.path() / "ro/kestro").string() +
                               "`:\n  Permission denied (os error 13)\n";
  EXPECT_EQ(run_unprivileged([&] {
              auto fd = open_credential_lock_file(lock);
              return !fd && render_error_chain(fd.error()) == expected ? 0 : 1;
            }),
            0);
}

// util-linux's flock(1) holding the lock file in another process until it
// is stopped.
class LockHolder {
 public:
  LockHolder(const std::string& path, const char* kind) {
    pid_ = testing::spawn({"flock", "--close", kind, path, "sh", "-c", "echo held; exec sleep 60"},
                          environment_with({}), "", &out_);
    char c = 0;
    (void)!::read(out_, &c, 1);  // the first byte of "held": the lock is taken
  }
  ~LockHolder() { release(); }
  void release() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    testing::wait_status(pid_);
    ::close(out_);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

TEST(CredentialStoreLock, HeldElsewhereTimesOut) {
  TempDir dir;
  const std::string lock = (dir.path() / "kestro/credentials.lock").string();
  ASSERT_TRUE(open_credential_lock_file(lock).has_value());
  const CredentialStore store{lock, std::chrono::milliseconds(400), std::chrono::milliseconds(50)};
  const std::string expected = "timed out waiting for the credential store lock at `" + lock +
                               "`; retry once other kestro processes finish";
  {
    LockHolder holder(lock, "--exclusive");
    const auto start = std::chrono::steady_clock::now();
    auto read = read_credential_store(store);
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().message(), expected);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
  }
  {
    // Readers share: a writer waits for them.
    LockHolder holder(lock, "--shared");
    bool ran = false;
    auto update = update_credential_store(store, [&](CredentialBlob&) { return ran = true; });
    ASSERT_FALSE(update.has_value());
    EXPECT_EQ(update.error().message(), expected);
    EXPECT_FALSE(ran);
  }
}

// The keyring cases share the process's private session.
class KeyringStore : public testing::KeyringStoreTest<CredentialStore> {
 protected:
  // Writes the entry's password as another program would, with the same
  // attributes as the store's own items.
  static void store_raw(const std::string& text) { ASSERT_EQ(shared_keyring_session().store_entry(text).status, 0); }
  CommandResult lookup() const { return shared_keyring_session().lookup_entry(); }
  static CredentialRecord record(std::string key) {
    CredentialRecord r;
    r.key = std::move(key);
    r.globs = {r.key + "**"};
    r.secret = kToken;
    return r;
  }
  // No captured line holds the token.
  static void expect_no_secret(const log::ScopedCapture& capture) {
    testing::expect_not_logged(capture, kToken);
  }
};

TEST_F(KeyringStore, NoEntryReadsEmpty) {
  auto read = read_credential_store(store_);
  ASSERT_TRUE(read.has_value()) << read.error().message();
  EXPECT_TRUE(read->empty());
  EXPECT_EQ(lookup().status, 1);
}

TEST_F(KeyringStore, AppendThenRemoveTheLastRecordDeletesTheEntry) {
  log::ScopedCapture capture;
  auto added = update_credential_store(store_, [](CredentialBlob& blob) {
    blob.credentials.push_back(record("https://a/"));
    return true;
  });
  ASSERT_TRUE(added.has_value()) << added.error().message();
  auto stored = lookup();
  EXPECT_EQ(stored.status, 0);
  EXPECT_EQ(stored.out, std::string(R"({"version":1,"credentials":[{"key":"https://a/","globs":["https://a/**"],)") +
                            R"("scheme":"bearer","secret":")" + kToken + R"("}]})");
  auto added_second = update_credential_store(store_, [](CredentialBlob& blob) {
    blob.credentials.push_back(record("https://b/"));
    return true;
  });
  ASSERT_TRUE(added_second.has_value());
  auto read = read_credential_store(store_);
  ASSERT_TRUE(read.has_value());
  ASSERT_EQ(read->size(), 2u);
  EXPECT_EQ((*read)[1].key, "https://b/");

  auto removed = update_credential_store(store_, [](CredentialBlob& blob) {
    blob.credentials.clear();
    return true;
  });
  ASSERT_TRUE(removed.has_value());
  EXPECT_EQ(lookup().status, 1);
  expect_no_secret(capture);
}

TEST_F(KeyringStore, RemovingTheLastRecordKeepsExtraKeys) {
  store_raw(std::string(R"({"version":1,"credentials":[{"key":"k","globs":[],"scheme":"bearer","secret":")") +
            kToken + R"("}],"note": {"a" : 1}})");
  auto removed = update_credential_store(store_, [](CredentialBlob& blob) {
    blob.credentials.clear();
    return true;
  });
  ASSERT_TRUE(removed.has_value()) << removed.error().message();
  EXPECT_EQ(lookup().out, R"({"version":1,"credentials":[],"note":{"a":1}})");
}

TEST_F(KeyringStore, UnreadableEntriesAreNeverOverwritten) {
  struct Case {
    const char* name;
    std::string stored;
    std::string message;
  };
  const Case cases[] = {
      {"not UTF-8", "{\"version\":1,\"x\":\"\xff\"}",
       "credential store unreadable; remove the `kestro` keyring entry to reset"},
      {"not the format", "secret " + std::string(kToken),
       "credential store unreadable; remove the `kestro` keyring entry to reset"},
      {"another version", R"({"version":2})",
       "unsupported credential store blob version 2 (this build supports version 1)"},
  };
  for (const auto& c : cases) {
    store_raw(c.stored);
    log::ScopedCapture capture;
    auto read = read_credential_store(store_);
    ASSERT_FALSE(read.has_value()) << c.name;
    EXPECT_EQ(read.error().message(), c.message) << c.name;
    bool ran = false;
    auto update = update_credential_store(store_, [&](CredentialBlob&) { return ran = true; });
    ASSERT_FALSE(update.has_value()) << c.name;
    EXPECT_FALSE(ran) << c.name;
    EXPECT_EQ(lookup().out, c.stored) << c.name;
    expect_no_secret(capture);
  }
}

TEST_F(KeyringStore, ALockReleasedInTimeLetsTheReaderGoOn) {
  ASSERT_TRUE(open_credential_lock_file(store_.lock_path).has_value());
  LockHolder holder(store_.lock_path, "--exclusive");
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.release();
  });
  auto read = read_credential_store(store_);
  release.join();
  EXPECT_TRUE(read.has_value()) << read.error().message();
}

// Cases that need a process of their own: the parent runs this binary again
// on one `KeyringChild` case, which only runs there.
CommandResult run_child_case(const std::string& name, std::map<std::string, std::string> env) {
  return testing::run_keyring_child("KeyringChild." + name, std::move(env));
}

TEST(KeyringChild, ReadWithoutSecretService) {
  if (!testing::in_keyring_child()) GTEST_SKIP() << "runs inside KeyringAbsent";
  auto store = open_credential_store();
  ASSERT_TRUE(store.has_value());
  log::ScopedCapture capture;
  auto read = read_credential_store(*store);
  ASSERT_FALSE(read.has_value());
  EXPECT_TRUE(read.error().holds<CredentialStoreError::BackendAbsent>()) << read.error().message();
  EXPECT_TRUE(read.error().message().starts_with("no OS keyring backend is available: ")) << read.error().message();
  bool logged = false;
  for (const auto& rec : capture.records())
    logged |= rec.level == log::Level::Debug && rec.target == kKeyringStoreTarget &&
              rec.message.starts_with("Secret Service lookup failed: ");
  EXPECT_TRUE(logged);
  // Writing fails the same way, and again on a second attempt.
  auto update = update_credential_store(*store, [](CredentialBlob& b) {
    b.extra.push_back("a", json::Value(true));
    return true;
  });
  ASSERT_FALSE(update.has_value());
  EXPECT_TRUE(update.error().holds<CredentialStoreError::BackendAbsent>());
}

TEST(KeyringAbsent, NoBusOrNoSecretServiceIsBackendAbsent) {
  TempDir dir;
  KeyringSession bus_only(false);
  ASSERT_TRUE(bus_only.ready()) << bus_only.failure();
  const std::map<std::string, std::string> buses[] = {
      {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir.path() / "no-bus").string()}, {"DISPLAY", ""}},
      {{"DBUS_SESSION_BUS_ADDRESS", ""}, {"DISPLAY", ""}, {"XDG_RUNTIME_DIR", dir.path().string()}},
      {{"DBUS_SESSION_BUS_ADDRESS", bus_only.address()}},
  };
  for (auto env : buses) {
    env["XDG_STATE_HOME"] = dir.path().string();
    auto child = run_child_case("ReadWithoutSecretService", env);
    EXPECT_EQ(child.status, 0) << child.out;
  }
}

TEST(KeyringErrorMapping, Categories) {
  using E = KeyringError;
  struct Case {
    KeyringError error;
    std::string rendered;
  };
  const Case cases[] = {
      {E::Platform{"e"}, "no OS keyring backend is available: e\n  caused by: e\n"},
      {E::NoStorageAccess{"e", MessageError("inner")},
       "the OS keyring denied access (it may be locked)\n  caused by: inner\n"},
      {E::NoEntry{"e"}, "the OS keyring denied access (it may be locked)\n  caused by: e\n"},
      {E::BadDataFormat{"e"}, "the OS keyring denied access (it may be locked)\n  caused by: e\n"},
      {E::NoDefaultStore{"e"}, "the OS keyring denied access (it may be locked)\n  caused by: e\n"},
      {E::BadEncoding{"e"}, "credential store unreadable; remove the `kestro` keyring entry to reset"},
      {E::Ambiguous{"e"}, "credential store unreadable; remove the `kestro` keyring entry to reset"},
      {E::TooLong{"e"},
       "credential store full on this platform (Windows ~2.5 KB limit);\nremove an unused credential or use a smaller "
       "token"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(render_error_chain(map_keyring_error(c.error)), c.rendered) << c.error.payload().index();
}

}  // namespace
}  // namespace kestro::credentials
