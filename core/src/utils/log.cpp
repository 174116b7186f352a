#include "kestro/utils/log.hpp"

#include <atomic>
#include <mutex>

namespace kestro::log {

namespace {
std::mutex g_mutex;
std::shared_ptr<Sink> g_sink;
thread_local ScopedCapture* t_capture = nullptr;
}  // namespace

std::string_view level_name(Level level) {
  switch (level) {
    case Level::Error: return "ERROR";
    case Level::Warn: return "WARN";
    case Level::Info: return "INFO";
    case Level::Debug: return "DEBUG";
    case Level::Trace: return "TRACE";
  }
  return "";
}

bool try_set_sink(std::shared_ptr<Sink> sink) {
  std::lock_guard lock(g_mutex);
  if (g_sink) return false;
  g_sink = std::move(sink);
  return true;
}

std::shared_ptr<Sink> current_sink() {
  std::lock_guard lock(g_mutex);
  return g_sink;
}

bool enabled(Level level, std::string_view target) {
  if (t_capture != nullptr) return true;
  auto sink = current_sink();
  return sink && sink->enabled(level, target);
}

void emit(Level level, std::string_view target, std::string message) {
  if (t_capture != nullptr) {
    t_capture->records_.push_back(Record{level, std::string(target), std::move(message)});
    return;
  }
  if (auto sink = current_sink()) sink->write(Record{level, std::string(target), std::move(message)});
}

ScopedCapture::ScopedCapture() : previous_(t_capture) { t_capture = this; }
ScopedCapture::~ScopedCapture() { t_capture = previous_; }

}  // namespace kestro::log
