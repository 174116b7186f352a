// A scripted loopback index for the index client's and the resolvers'
// tests, and the `versions.json` documents it serves.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "kestro/index/index_location.hpp"
#include "support/loopback_server.hpp"

namespace kestro::testing {

inline const std::string kDigest = std::string(64, 'a');

// A loopback index under /idx/: answers by request target from a table
// (404 for anything else), which tests may change between calls.
class Index {
 public:
  Index() {
    server.set_handler([this](const RecordedRequest& request) {
      std::lock_guard lock(mutex_);
      auto it = routes_.find(request.target);
      return it == routes_.end() ? Reply::with_status(404) : it->second;
    });
  }
  void route(const std::string& target, Reply reply) {
    std::lock_guard lock(mutex_);
    routes_.insert_or_assign(target, std::move(reply));
  }
  std::string url(std::string_view path = "") const { return server.url("/idx/" + std::string(path)); }
  index::IndexLocation location() const { return *index::parse_index_location(url()); }
  std::vector<std::string> targets() const {
    std::vector<std::string> out;
    for (const auto& r : server.requests()) out.push_back(r.target);
    return out;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Reply> routes_;

 public:
  // Last, so that it stops before the table goes.
  LoopbackServer server;
};

inline std::string entry(std::string_view version, std::string_view extra = "", std::string_view digest = "") {
  return fmt::format(R"({{"version":"{}","usage":[],"kpar_size":10,"kpar_digest":"sha256:{}"{}}})", version,
                     digest.empty() ? std::string_view(kDigest) : digest, extra);
}
inline std::string versions(const std::vector<std::string>& entries) {
  std::string out = R"({"versions":[)";
  for (std::size_t i = 0; i < entries.size(); ++i) out += (i ? "," : "") + entries[i];
  return out + "]}";
}

// `text` with every `from` replaced by `to` (URLs put into expected texts).
inline std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace kestro::testing
