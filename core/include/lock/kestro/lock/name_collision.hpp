// The lock command's refusals over exported symbol names: one name exported
// by two projects, or exported twice by the same project. Both show the
// projects as their lock-file tables.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <string>

#include "kestro/lock/lock.hpp"
#include "kestro/utils/error.hpp"

namespace kestro::lock {

class NameCollisionError : public Error {
 public:
  NameCollisionError(std::string name, Project first, Project second)
      : symbol(std::move(name)), pr1(std::move(first)), pr2(std::move(second)) {}
  std::string symbol;
  Project pr1;
  Project pr2;
  std::string message() const override;
  std::string debug() const override;
};

class SelfNameCollisionError : public Error {
 public:
  SelfNameCollisionError(std::string name, Project exporter)
      : symbol(std::move(name)), project(std::move(exporter)) {}
  std::string symbol;
  Project project;
  std::string message() const override;
  std::string debug() const override;
};

// The key lines of a project's lock table, each ending with a line feed; a
// table the writer refuses shows the writer's refusal in their place.
std::string project_table_text(const Project& project);

// `Project { publisher: None, name: "a", ... }`.
std::string debug_project(const Project& project);

}  // namespace kestro::lock
