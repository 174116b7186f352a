// Project records for the tests: the smallest valid `.project.json` and
// `.meta.json`, a project directory written from records, and a source tree
// served from them by the loopback server. Tests that need other records
// build them here (`info_json`) rather than spelling out their own.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "support/loopback_server.hpp"
#include "test_support.hpp"

namespace kestro::testing {

// `.project.json` of project `P` 1.0.0 with nothing else.
inline constexpr char kInfo[] = R"({"name":"P","version":"1.0.0"})";
// `.meta.json` with an empty index.
inline constexpr char kMeta[] = R"({"index":{},"created":"2025-01-01T00:00:00Z"})";

// A `.project.json` text with the fields in this order: name, version and,
// when given, publisher.
inline std::string info_json(std::string_view name, std::optional<std::string_view> publisher = {},
                             std::string_view version = "1.0.0") {
  std::string json = "{\"name\":\"" + std::string(name) + "\",\"version\":\"" + std::string(version) + "\"";
  if (publisher) json += ",\"publisher\":\"" + std::string(*publisher) + "\"";
  return json + "}";
}

// Makes `dir` a project directory holding `info` as `.project.json` and
// `meta` as `.meta.json`; an empty text leaves its file out.
inline void write_project(const std::filesystem::path& dir, std::string_view info = kInfo,
                          std::string_view meta = kMeta) {
  std::filesystem::create_directories(dir);
  if (!info.empty()) write_text(dir / ".project.json", info);
  if (!meta.empty()) write_text(dir / ".meta.json", meta);
}

// Serves a source tree under /p/ with the given records: 404 for an empty
// one and for every other target.
inline void serve_tree(LoopbackServer& server, std::string info = kInfo, std::string meta = kMeta) {
  server.set_handler([info = std::move(info), meta = std::move(meta)](const RecordedRequest& request) {
    if (request.target == "/p/.project.json" && !info.empty()) return Reply::ok(info);
    if (request.target == "/p/.meta.json" && !meta.empty()) return Reply::ok(meta);
    return Reply::with_status(404);
  });
}

}  // namespace kestro::testing
