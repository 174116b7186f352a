// Child processes for the tests: started from an argument vector (no shell),
// with an environment of their choosing, fed a standard input, and their
// standard output (and, when asked, standard error) read back.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

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

// Where a child's standard error goes: the test's own, or the same pipe as
// its standard output.
enum class Stderr { Inherit, WithOutput };

// Starts `argv` with `env`, feeding `input` on its standard input; its
// standard output is a pipe whose read end is returned in `out_fd`. The
// child leads a process group of its own. Returns -1 when it cannot start.
inline pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& input,
                   int* out_fd, Stderr err = Stderr::Inherit) {
  int in_pipe[2], out_pipe[2];
  if (::pipe2(in_pipe, O_CLOEXEC) != 0) return -1;
  if (::pipe2(out_pipe, O_CLOEXEC) != 0) {
    ::close(in_pipe[0]);
    ::close(in_pipe[1]);
    return -1;
  }
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    if (err == Stderr::WithOutput) ::dup2(out_pipe[1], 2);
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
  if (pid < 0) {
    ::close(in_pipe[1]);
    ::close(out_pipe[0]);
    return -1;
  }
  if (!input.empty()) (void)!::write(in_pipe[1], input.data(), input.size());
  ::close(in_pipe[1]);
  *out_fd = out_pipe[0];
  return pid;
}

// Everything until the end of `fd`, which is then closed.
inline std::string read_all(int fd) {
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return out;
}

// The child's exit status once it ends; 128 + signal when killed.
inline int wait_status(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs `argv` to its end and returns its status and output.
inline CommandResult run_command(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                 const std::string& input = {}, Stderr err = Stderr::Inherit) {
  int fd = -1;
  pid_t pid = spawn(argv, env, input, &fd, err);
  if (pid < 0) return {};
  CommandResult r;
  r.out = read_all(fd);
  r.status = wait_status(pid);
  return r;
}

// Runs `argv` in the current environment; its output holds its standard
// output and error, for a failure message.
inline CommandResult run_command(const std::vector<std::string>& argv) {
  return run_command(argv, environment_with({}), {}, Stderr::WithOutput);
}

// `argv` as one line for messages: its words joined by spaces.
inline std::string command_line(const std::vector<std::string>& argv) {
  std::string out;
  for (const auto& a : argv) out += (out.empty() ? "" : " ") + a;
  return out;
}

}  // namespace kestro::testing
