// The peers the benchmark programs measure beside their own figures: Python
// (with the built extension modules on its path) and shell commands. Each
// table row shows our figure, the peer's on the same input, and their ratio.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include <fmt/format.h>

namespace bench {

// The interpreter the build was configured with, and the directory of the
// built extension modules.
inline constexpr const char* kPython = KESTRO_BENCH_PYTHON;
inline constexpr const char* kModulePath = KESTRO_BENCH_MODULE_PATH;

// The standard output of `command` run by the shell; none when it fails.
inline std::optional<std::string> capture(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (::pclose(pipe) != 0) return std::nullopt;
  return out;
}

// Runs `script` (written to `dir`) under the configured interpreter with
// `args`; the script prints lines "name seconds". None when it fails.
inline std::optional<std::map<std::string, double>> run_python(const std::filesystem::path& dir,
                                                               std::string_view script, const std::string& args) {
  auto file = dir / "peer.py";
  std::ofstream(file) << script;
  auto out = capture(fmt::format("PYTHONPATH='{}' '{}' '{}' {}", kModulePath, kPython, file.string(), args));
  if (!out) return std::nullopt;
  std::map<std::string, double> figures;
  std::istringstream lines(*out);
  std::string name;
  double value;
  while (lines >> name >> value) figures[name] = value;
  return figures;
}

// One row: "label   ours unit   peer unit (peer name)   ratio x". Figures are
// rates, higher is better; an absent peer prints as such.
inline void row(std::string_view label, double ours, std::optional<double> peer, std::string_view unit,
                std::string_view peer_name) {
  if (peer && *peer > 0) {
    fmt::print("{:<34} {:9.1f} {:<5} {:9.1f} {:<5} {:<22} {:5.2f}x\n", label, ours, unit, *peer, unit, peer_name,
               ours / *peer);
  } else {
    fmt::print("{:<34} {:9.1f} {:<5} {:>15} {:<22}\n", label, ours, unit, "-", peer_name);
  }
}

inline void header() {
  fmt::print("{:<34} {:>15} {:>15} {:<22} {:>6}\n", "", "ours", "peer", "", "ratio");
}

}  // namespace bench
