#include "kestro/solve/lock_error.hpp"

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::solve {

namespace {
// Per record kind, in enum order: its display text and its debug name.
struct KindNames {
  std::string_view text;
  std::string_view debug;
};
constexpr KindNames kKindNames[] = {{"info", "Info"}, {"meta", "Meta"}, {"canonical digest", "CanonicalDigest"}};
}  // namespace

std::string_view display_project_record_kind(ProjectRecordKind kind) {
  return kKindNames[static_cast<std::size_t>(kind)].text;
}

std::string LockError::text_of(const IncompleteProject& v) {
  return fmt::format("incomplete project {}: missing {}", v.project_label, display_project_record_kind(v.field));
}
std::string LockError::text_of(const InvalidProject& v) {
  return fmt::format("project `{}` has invalid metadata", v.identifier);
}
std::string LockError::debug_of(const IncompleteProject& v) {
  return fmt::format("IncompleteProject {{ project_label: {}, field: {} }}", debug_quote(v.project_label),
                     kKindNames[static_cast<std::size_t>(v.field)].debug);
}
std::string LockError::debug_of(const InvalidProject& v) {
  return fmt::format("InvalidProject {{ identifier: {}, source: {} }}", debug_quote(v.identifier), v.source.debug());
}

}  // namespace kestro::solve
