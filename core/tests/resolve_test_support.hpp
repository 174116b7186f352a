// Usages for the resolver tests.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "kestro/resolve/outcome.hpp"

namespace kestro::resolve {

inline UsageInContext resource_usage(const std::string& iri, std::optional<std::filesystem::path> base = {}) {
  return UsageInContext{ResourceUsageG<iri::Iri, semver::VersionReq>{*iri::Iri::parse(iri), std::nullopt},
                        std::move(base)};
}

// A usage of unrecognised shape with the given keys (values are strings).
inline UsageInContext unknown_usage(std::initializer_list<const char*> keys) {
  json::Object object;
  for (const char* key : keys) object.push_back(key, json::Value(std::string("x")));
  return UsageInContext{UnknownUsage{std::move(object)}, std::nullopt};
}

}  // namespace kestro::resolve
