// A private desktop session for the credential-store tests: a message bus of
// its own (with no service activation, so nothing starts behind the test's
// back) and, when asked, gnome-keyring's Secret Service on it, unlocked with
// a password given on its standard input. Keyring files live in a temporary
// home. Both daemons are stopped when the session ends.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
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

#include "test_support.hpp"

extern char** environ;

namespace kestro::testing {

struct CommandResult {
  int status = -1;  // exit status; 128 + signal when killed; -1 when it could not run
  std::string out;
};

// The current environment with `overrides` applied (an empty value removes
// the variable).
inline std::vector<std::string> environment_with(const std::map<std::string, std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    if (!overrides.contains(entry.substr(0, entry.find('=')))) env.push_back(entry);
  }
  for (const auto& [k, v] : overrides)
    if (!v.empty()) env.push_back(k + "=" + v);
  return env;
}

// Starts `argv` with `env`, feeding `input` on its standard input; its
// standard output is a pipe whose read end is returned in `out_fd`. The
// child leads a process group of its own.
inline pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& input,
                   int* out_fd) {
  int in_pipe[2], out_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0 || ::pipe2(out_pipe, O_CLOEXEC) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  if (!input.empty()) (void)!::write(in_pipe[1], input.data(), input.size());
  ::close(in_pipe[1]);
  *out_fd = out_pipe[0];
  return pid;
}

inline std::string read_all(int fd) {
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return out;
}

inline int wait_status(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline CommandResult run_command(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                 const std::string& input = {}) {
  int fd = -1;
  pid_t pid = spawn(argv, env, input, &fd);
  if (pid < 0) return {};
  CommandResult r;
  r.out = read_all(fd);
  r.status = wait_status(pid);
  return r;
}

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

}  // namespace kestro::testing
