// The errors of a lock run: a candidate project that fails, an incomplete or
// invalid candidate, the solver's failure and the symbol-name refusals.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <string>

#include "kestro/lock/name_collision.hpp"
#include "kestro/model/validation.hpp"
#include "kestro/project/checksum.hpp"
#include "kestro/resolve/composite_error.hpp"
#include "kestro/solve/solver_error.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::solve {

// The record of a project that a candidate could not provide.
enum class ProjectRecordKind { Info, Meta, CanonicalDigest };
// "info", "meta", "canonical digest".
std::string_view display_project_record_kind(ProjectRecordKind kind);

// The error of a project the lock solver chose: a configured override's
// source or a standard library (the memory resolvers, higher first), or a
// candidate of the combined resolver.
using DependencyProjectError =
    PriorityError<PriorityError<SourceProjectError, InMemoryProjectError>, CombinedProjectError>;

struct LockVariants {
  struct DependencyProject { DependencyProjectError err; };
  struct DependencyProjectCanonicalization { CanonicalizationError<DependencyProjectError> err; };
  struct Io { FsIoError err; };
  struct IncompleteProject { std::string project_label; ProjectRecordKind field; };
  struct InvalidProject { std::string identifier; ProjectValidationError source; };
  struct Solver { SolverError err; };
  struct NameCollision { lock::NameCollisionError err; };
  struct SelfNameCollision { lock::SelfNameCollisionError err; };
  using Sum = std::variant<DependencyProject, DependencyProjectCanonicalization, Io, IncompleteProject, InvalidProject,
                           Solver, NameCollision, SelfNameCollision>;
};

class LockError : public ErrorSum<LockError, LockVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const DependencyProject& v) { return v.err.message(); }
  static std::string text_of(const DependencyProjectCanonicalization& v) { return v.err.message(); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const IncompleteProject& v);
  static std::string text_of(const InvalidProject& v);
  static std::string text_of(const Solver& v) { return v.err.message(); }
  static std::string text_of(const NameCollision& v) { return v.err.message(); }
  static std::string text_of(const SelfNameCollision& v) { return v.err.message(); }
  static std::string debug_of(const DependencyProject& v) { return "DependencyProject(" + v.err.debug() + ")"; }
  static std::string debug_of(const DependencyProjectCanonicalization& v) {
    return "DependencyProjectCanonicalization(" + v.err.debug() + ")";
  }
  static std::string debug_of(const Io& v) { return "Io(" + v.err.debug() + ")"; }
  static std::string debug_of(const IncompleteProject& v);
  static std::string debug_of(const InvalidProject& v);
  static std::string debug_of(const Solver& v) { return "Solver(" + v.err.debug() + ")"; }
  static std::string debug_of(const NameCollision& v) { return "NameCollision(" + v.err.debug() + ")"; }
  static std::string debug_of(const SelfNameCollision& v) { return "SelfNameCollision(" + v.err.debug() + ")"; }
  static const Error* cause_of(const DependencyProject& v) { return v.err.cause(); }
  static const Error* cause_of(const DependencyProjectCanonicalization& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidProject& v) { return &v.source; }
};

}  // namespace kestro::solve
