// A private desktop session for the credential-store tests: a message bus of
// its own (with no service activation, so nothing starts behind the test's
// back) and, when asked, gnome-keyring's Secret Service on it, unlocked with
// a password given on its standard input. Keyring files live in a temporary
// home. Both daemons are stopped when the session ends.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/process.hpp"
#include "test_support.hpp"

namespace kestro::testing {

class KeyringSession {
 public:
  // Starts the bus and, with `secret_service`, the keyring daemon. A session
  // whose daemons did not come up has `ready()` false and `failure()` says why.
  explicit KeyringSession(bool secret_service) {
    namespace fs = std::filesystem;
    const fs::path root = dir_.path();
    fs::create_directories(root / "home/.local/share");
    fs::create_directories(root / "runtime");
    fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const fs::path conf = root / "bus.conf";
    std::ofstream(conf) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type><listen>unix:tmpdir="
                        << root.string()
                        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                           "<allow own=\"*\"/></policy></busconfig>\n";
    auto bus = run_command({"dbus-daemon", "--config-file=" + conf.string(), "--fork", "--print-address=1",
                            "--print-pid=1"},
                           environment_with({}));
    auto nl = bus.out.find('\n');
    if (bus.status != 0 || nl == std::string::npos) {
      failure_ = "dbus-daemon did not start: " + bus.out;
      return;
    }
    address_ = bus.out.substr(0, nl);
    bus_pid_ = static_cast<pid_t>(std::atol(bus.out.c_str() + nl + 1));
    env_ = {{"DBUS_SESSION_BUS_ADDRESS", address_},
            {"HOME", (root / "home").string()},
            {"XDG_DATA_HOME", (root / "home/.local/share").string()},
            {"XDG_CONFIG_HOME", (root / "home/.config").string()},
            {"XDG_RUNTIME_DIR", (root / "runtime").string()},
            {"DISPLAY", ""}};
    if (!secret_service) return;
    // Its standard output stays open (and unread) while it runs: a write to
    // a closed pipe would end it.
    keyring_pid_ = spawn({"gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                         environment_with(env_), "test-password", &keyring_out_);
    if (keyring_pid_ < 0) {
      failure_ = "gnome-keyring-daemon could not be started";
      return;
    }
    for (int i = 0; i < 200; ++i) {
      auto owner = run_command({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                                "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"},
                               environment_with(env_));
      if (owner.out.find("boolean true") != std::string::npos) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    failure_ = "the Secret Service did not appear on the bus";
  }
  ~KeyringSession() {
    if (keyring_pid_ > 0) {
      ::kill(keyring_pid_, SIGTERM);
      wait_status(keyring_pid_);
      ::close(keyring_out_);
    }
    if (bus_pid_ > 0) ::kill(bus_pid_, SIGTERM);
  }
  KeyringSession(const KeyringSession&) = delete;
  KeyringSession& operator=(const KeyringSession&) = delete;

  bool ready() const { return failure_.empty(); }
  const std::string& failure() const { return failure_; }
  const std::string& address() const { return address_; }
  // The variables a process of this session needs: the bus address and the
  // private home and data directories.
  const std::map<std::string, std::string>& env() const { return env_; }

  // Makes this process a member of the session. Must happen before libsecret
  // is first used: it keeps its bus connection for the life of the process.
  void join() const {
    for (const auto& [k, v] : env_) {
      if (k == "HOME" || k == "XDG_DATA_HOME") continue;  // the tests choose their own lock directories
      if (v.empty())
        ::unsetenv(k.c_str());
      else
        ::setenv(k.c_str(), v.c_str(), 1);
    }
  }

  // `secret-tool` inside the session.
  CommandResult secret_tool(const std::vector<std::string>& args, const std::string& input = {}) const {
    std::vector<std::string> argv{"secret-tool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_command(argv, environment_with(env_), input);
  }
  // The store's one entry, as another program sees it: removed, read, or
  // written with the same attributes as the store's own item.
  CommandResult clear_entry() const { return secret_tool({"clear", "service", "kestro", "user", "credentials"}); }
  CommandResult lookup_entry() const { return secret_tool({"lookup", "service", "kestro", "user", "credentials"}); }
  CommandResult store_entry(const std::string& text) const {
    return secret_tool(
        {"store", "--label=x", "service", "kestro", "user", "credentials", "xdg:schema", "kestro.Credentials"}, text);
  }

 private:
  TempDir dir_;
  std::string failure_;
  std::string address_;
  std::map<std::string, std::string> env_;
  pid_t bus_pid_ = -1;
  pid_t keyring_pid_ = -1;
  int keyring_out_ = -1;
};

// The process's one session with a Secret Service, started on first use and
// joined by this process; stopped at exit.
inline const KeyringSession& shared_keyring_session() {
  static const std::unique_ptr<KeyringSession> session = [] {
    auto s = std::make_unique<KeyringSession>(true);
    if (s->ready()) s->join();
    return s;
  }();
  return *session;
}

// Whether this process is a child started by run_keyring_child: the cases
// that need a session of their own run only there and skip otherwise.
inline bool in_keyring_child() { return std::getenv("KESTRO_TEST_KEYRING_CHILD") != nullptr; }

// Runs this test binary again on the cases matching `filter`, with `env`
// applied over the current environment and in_keyring_child() true in it.
// Such cases need a process of their own (a different bus than the shared
// session's, since libsecret keeps its first connection).
inline CommandResult run_keyring_child(const std::string& filter, std::map<std::string, std::string> env) {
  env["KESTRO_TEST_KEYRING_CHILD"] = "1";
  return run_command({"/proc/self/exe", "--gtest_filter=" + filter}, environment_with(env));
}

// A fixture for cases on the shared session's keyring: the session is up and
// its entry cleared before and after each case; `store_` is a `Store` with
// its lock file in the case's own directory `dir_`.
template <typename Store>
class KeyringStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto& session = shared_keyring_session();
    ASSERT_TRUE(session.ready()) << session.failure();
    session.clear_entry();
    store_ = Store{(dir_.path() / "kestro/credentials.lock").string()};
  }
  void TearDown() override { shared_keyring_session().clear_entry(); }
  TempDir dir_;
  Store store_;
};

}  // namespace kestro::testing
