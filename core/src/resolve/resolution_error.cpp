#include "kestro/resolve/resolution_error.hpp"

#include <fmt/ranges.h>

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

}  // namespace kestro::resolve
