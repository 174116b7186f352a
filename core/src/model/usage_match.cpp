#include "kestro/model/usage_match.hpp"

#include <type_traits>

#include "kestro/model/identifiers.hpp"
#include "kestro/model/usage.hpp"
#include "kestro/model/usage_label.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::model {

std::string usage_identifier(const InterchangeProjectUsage& usage) {
  return std::visit(
      [](const auto& u) -> std::string {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, UnknownUsage>) {
          internal_error("a validated usage cannot be `Unknown`, because `validate` refuses it: unrecognized usage with " +
                         describe_usage_keys(u.object));
        } else if constexpr (requires { u.resource; }) {
          return u.resource.as_str();
        } else {
          return default_project_identifier(u.publisher, u.name);
        }
      },
      usage);
}

std::optional<std::string> declared_usage_identifier(const InterchangeProjectUsageRaw& usage) {
  return std::visit(
      [](const auto& u) -> std::optional<std::string> {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, UnknownUsage>) {
          return std::nullopt;
        } else if constexpr (std::is_same_v<U, ResourceUsageRaw>) {
          return u.resource;
        } else {
          if (u.publisher.empty() || u.name.empty()) return std::nullopt;
          return default_project_identifier(u.publisher, u.name);
        }
      },
      usage);
}

namespace {

// The identifier and kind a declared usage is known by, if any.
std::optional<UsageMatch> candidate(const json::Value& element, std::size_t position, std::string_view target) {
  auto usage = deserialize_usage(element);
  if (!usage) return std::nullopt;
  auto identifier = declared_usage_identifier(*usage);
  if (!identifier || *identifier != target) return std::nullopt;
  return UsageMatch{position, usage_kind_name(*usage)};
}

}  // namespace

std::optional<UsageMatch> match_usage_identifier(UsageMatchCursor& cursor, std::string_view target) {
  while (cursor.next < cursor.usages.size()) {
    const std::size_t position = cursor.next++;
    const json::Value& element = cursor.usages[position];
    // A string `resource` decides alone: no other reading is tried.
    if (const json::Object* object = element.as_object()) {
      if (const json::Value* resource = object->find("resource"); resource && resource->as_string()) {
        if (*resource->as_string() == target) return UsageMatch{position, std::nullopt};
        continue;
      }
    }
    if (auto match = candidate(element, position, target)) return match;
  }
  return std::nullopt;
}

std::optional<json::Value> remove_version_constraint(json::Object& usage) {
  auto& members = usage.members();
  for (auto it = members.begin(); it != members.end(); ++it) {
    if (it->first != "versionConstraint") continue;
    json::Value value = std::move(it->second);
    members.erase(it);
    return value;
  }
  return std::nullopt;
}

}  // namespace kestro::model
