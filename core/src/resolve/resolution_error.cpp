#include "kestro/resolve/resolution_error.hpp"

#include <fmt/ranges.h>

#include "kestro/utils/text.hpp"

namespace kestro::resolve {

// The texts joined with ", ", unquoted; an empty list leaves the trailing
// space.
std::string ResolutionError::text_of(const NoSemanticVersionsFound& v) {
  return fmt::format("none of the following found versions are valid semantic versions {}",
                     fmt::join(v.versions, ", "));
}
std::string ResolutionError::text_of(const NoResolve& v) {
  return fmt::format("failed to resolve {}: {}", v.usage.label(), v.reason);
}
std::string ResolutionError::text_of(const NotFound& v) {
  return fmt::format("{} was not found: {}", v.usage.label(), v.reason);
}
std::string ResolutionError::text_of(const UnsupportedUsage& v) {
  return fmt::format("{} is not supported: {}", v.usage.label(), v.reason);
}

std::string ResolutionError::debug_of(const NoSemanticVersionsFound& v) {
  return "NoSemanticVersionsFound(" + debug_list(v.versions) + ")";
}

std::string UsageInContext::debug() const { return debug_quote(label()); }

std::string debug_usage_reason(std::string_view name, const UsageInContext& usage, const std::string& reason) {
  return fmt::format("{} {{ usage: {}, reason: {} }}", name, usage.debug(), debug_quote(reason));
}
std::string debug_usage(std::string_view name, const UsageInContext& usage) {
  return fmt::format("{} {{ usage: {} }}", name, usage.debug());
}
std::string debug_usage_source(std::string_view name, const UsageInContext& usage, const Error& source) {
  return fmt::format("{} {{ usage: {}, source: {} }}", name, usage.debug(), source.debug());
}

}  // namespace kestro::resolve
