// The lock command's refusals over exported symbol names: one name exported
// by two projects, or exported twice by the same project. Both show the
// projects as their lock-file tables.
#pragma once

#include "kestro/lock/namespace.hpp"

#include <string>
#include <variant>

#include "kestro/lock/lock.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::lock {

struct NameCollisionVariants {
  // Two projects export the symbol.
  struct Between {
    std::string symbol;
    Project pr1;
    Project pr2;
  };
  using Sum = std::variant<Between>;
};

class NameCollisionError : public ErrorSum<NameCollisionError, NameCollisionVariants> {
 public:
  using ErrorSum::ErrorSum;
  NameCollisionError(std::string symbol, Project pr1, Project pr2)
      : ErrorSum(Between{std::move(symbol), std::move(pr1), std::move(pr2)}) {}
  static std::string text_of(const Between& v);
  static std::string debug_of(const Between& v);
};

struct SelfNameCollisionVariants {
  // One project exports the symbol twice.
  struct Within {
    std::string symbol;
    Project project;
  };
  using Sum = std::variant<Within>;
};

class SelfNameCollisionError : public ErrorSum<SelfNameCollisionError, SelfNameCollisionVariants> {
 public:
  using ErrorSum::ErrorSum;
  SelfNameCollisionError(std::string symbol, Project project)
      : ErrorSum(Within{std::move(symbol), std::move(project)}) {}
  static std::string text_of(const Within& v);
  static std::string debug_of(const Within& v);
};

// The key lines of a project's lock table, each ending with a line feed; a
// table the writer refuses shows the writer's refusal in their place.
std::string project_table_text(const Project& project);

// `Project { publisher: None, name: "a", ... }`.
std::string debug_project(const Project& project);

}  // namespace kestro::lock
