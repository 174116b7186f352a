// Reading what a log::ScopedCapture caught: the messages of some targets, in
// order, optionally with their level, and a check that a secret never
// reached a log line.
#pragma once

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro::testing {

// Whether `record` is of one of `targets` (every record when there are none).
inline bool of_targets(const log::Record& record, std::initializer_list<std::string_view> targets) {
  return targets.size() == 0 || std::ranges::find(targets, record.target) != targets.end();
}

// The captured messages of `targets` (of every target when none is named), in order.
inline std::vector<std::string> messages_of(const log::ScopedCapture& capture,
                                            std::initializer_list<std::string_view> targets = {}) {
  std::vector<std::string> out;
  for (const auto& r : capture.records())
    if (of_targets(r, targets)) out.push_back(r.message);
  return out;
}

// As messages_of, each as "level: message" with the level in lower case
// ("debug: ...", "warn: ...").
inline std::vector<std::string> leveled_messages_of(const log::ScopedCapture& capture,
                                                    std::initializer_list<std::string_view> targets = {}) {
  std::vector<std::string> out;
  for (const auto& r : capture.records()) {
    if (!of_targets(r, targets)) continue;
    std::string level(log::level_name(r.level));
    for (char& c : level) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out.push_back(level + ": " + r.message);
  }
  return out;
}

// Fails the test for every captured message that holds `secret`.
inline void expect_not_logged(const log::ScopedCapture& capture, std::string_view secret) {
  for (const auto& r : capture.records()) EXPECT_EQ(r.message.find(secret), std::string::npos) << r.message;
}

}  // namespace kestro::testing
