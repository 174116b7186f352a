#include "kestro/lock/name_collision.hpp"

#include <fmt/format.h>

#include <vector>

#include "kestro/utils/text.hpp"

namespace kestro::lock {

std::string project_table_text(const Project& project) {
  auto table = lock_project_to_toml(project);
  return table ? *table : table.error().message() + "\n";
}

std::string debug_project(const Project& project) {
  auto source = [](const Source& s) {
    auto text = lock_source_to_toml(s);
    return text ? *text : text.error().message();
  };
  return fmt::format(
      "Project {{ publisher: {}, name: {}, version: {}, exports: {}, identifiers: {}, usages: {}, sources: {} }}",
      debug_option(project.publisher), debug_quote(project.name), debug_quote(project.version),
      debug_list(project.exports), debug_list(project.identifiers), debug_list(project.usages),
      debug_list(project.sources, source));
}

std::string NameCollisionError::text_of(const Between& v) {
  return fmt::format("symbol name `{}` is exported more than once in lockfile:\nproject 1:\n{}\nproject 2:\n{}",
                     v.symbol, project_table_text(v.pr1), project_table_text(v.pr2));
}
std::string NameCollisionError::debug_of(const Between& v) {
  return fmt::format("NameCollisionError {{ symbol: {}, pr1: {}, pr2: {} }}", debug_quote(v.symbol),
                     debug_project(v.pr1), debug_project(v.pr2));
}

std::string SelfNameCollisionError::text_of(const Within& v) {
  return fmt::format("symbol name `{}` is exported more than once by the same project:\n{}", v.symbol,
                     project_table_text(v.project));
}
std::string SelfNameCollisionError::debug_of(const Within& v) {
  return fmt::format("SelfNameCollisionError {{ symbol: {}, project: {} }}", debug_quote(v.symbol),
                     debug_project(v.project));
}

}  // namespace kestro::lock
