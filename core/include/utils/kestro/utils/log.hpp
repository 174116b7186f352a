// The logging facade: records with a level, a target (a module path such as
// `kestro_core::model`) and a message, handed to one process-wide sink.
// The first sink installed stays (the Python bridge and the command line each
// try to install theirs). Without a sink, records are dropped.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

namespace kestro::log {

enum class Level { Error = 1, Warn, Info, Debug, Trace };

std::string_view level_name(Level level);  // "ERROR", "WARN", ...

struct Record {
  Level level;
  std::string target;
  std::string message;
};

class Sink {
 public:
  virtual ~Sink() = default;
  virtual bool enabled(Level, std::string_view) const { return true; }
  virtual void write(const Record& record) = 0;
};

// Installs `sink` unless one is installed already. Returns whether it was.
bool try_set_sink(std::shared_ptr<Sink> sink);
// The installed sink, or nullptr.
std::shared_ptr<Sink> current_sink();

bool enabled(Level level, std::string_view target);
void emit(Level level, std::string_view target, std::string message);

template <typename... Args>
void write(Level level, std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  if (enabled(level, target)) emit(level, target, fmt::format(f, std::forward<Args>(args)...));
}
template <typename... Args>
void error(std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  write(Level::Error, target, f, std::forward<Args>(args)...);
}
template <typename... Args>
void warn(std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  write(Level::Warn, target, f, std::forward<Args>(args)...);
}
template <typename... Args>
void info(std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  write(Level::Info, target, f, std::forward<Args>(args)...);
}
template <typename... Args>
void debug(std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  write(Level::Debug, target, f, std::forward<Args>(args)...);
}
template <typename... Args>
void trace(std::string_view target, fmt::format_string<Args...> f, Args&&... args) {
  write(Level::Trace, target, f, std::forward<Args>(args)...);
}

// For tests: while alive, every record emitted on this thread is captured
// here (and not passed to the process-wide sink).
class ScopedCapture {
 public:
  ScopedCapture();
  ~ScopedCapture();
  ScopedCapture(const ScopedCapture&) = delete;
  ScopedCapture& operator=(const ScopedCapture&) = delete;
  const std::vector<Record>& records() const { return records_; }

 private:
  friend void emit(Level, std::string_view, std::string);
  std::vector<Record> records_;
  ScopedCapture* previous_;
};

}  // namespace kestro::log
