#include "kestro/lock/name_collision.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <vector>

#include "kestro/utils/text.hpp"

namespace kestro::lock {

std::string project_table_text(const Project& project) {
  auto table = lock_project_to_toml(project);
  return table ? *table : table.error().message() + "\n";
}

std::string debug_project(const Project& project) {
  std::vector<std::string> sources;
  for (const Source& s : project.sources) {
    auto text = lock_source_to_toml(s);
    sources.push_back(text ? *text : text.error().message());
  }
  return fmt::format(
      "Project {{ publisher: {}, name: {}, version: {}, exports: {}, identifiers: {}, usages: {}, sources: [{}] }}",
      project.publisher ? "Some(" + debug_quote(*project.publisher) + ")" : "None", debug_quote(project.name),
      debug_quote(project.version), debug_list(project.exports), debug_list(project.identifiers),
      debug_list(project.usages), fmt::join(sources, ", "));
}

std::string NameCollisionError::message() const {
  return fmt::format("symbol name `{}` is exported more than once in lockfile:\nproject 1:\n{}\nproject 2:\n{}", symbol,
                     project_table_text(pr1), project_table_text(pr2));
}
std::string NameCollisionError::debug() const {
  return fmt::format("NameCollisionError {{ symbol: {}, pr1: {}, pr2: {} }}", debug_quote(symbol), debug_project(pr1),
                     debug_project(pr2));
}

std::string SelfNameCollisionError::message() const {
  return fmt::format("symbol name `{}` is exported more than once by the same project:\n{}", symbol,
                     project_table_text(project));
}
std::string SelfNameCollisionError::debug() const {
  return fmt::format("SelfNameCollisionError {{ symbol: {}, project: {} }}", debug_quote(symbol),
                     debug_project(project));
}

}  // namespace kestro::lock
