// The error of one lock run over the project being locked: the input
// project's own error (`E`: its kind's error), its canonical checksum, or
// the lock itself.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <string>
#include <variant>

#include "kestro/project/checksum.hpp"
#include "kestro/solve/lock_error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro::commands {

template <typename E>
struct LockCommandVariants {
  struct InputProjectError { E err; };
  struct InputProjectCanonicalizationError { CanonicalizationError<E> err; };
  struct LockError { solve::LockError err; };
  using Sum = std::variant<InputProjectError, InputProjectCanonicalizationError, LockError>;
  static std::string text_of(const InputProjectError& v) { return v.err.message(); }
  static std::string text_of(const InputProjectCanonicalizationError& v) { return v.err.message(); }
  static std::string text_of(const LockError& v) { return v.err.message(); }
  static std::string debug_of(const InputProjectError& v) { return "InputProjectError(" + v.err.debug() + ")"; }
  static std::string debug_of(const InputProjectCanonicalizationError& v) {
    return "InputProjectCanonicalizationError(" + v.err.debug() + ")";
  }
  static std::string debug_of(const LockError& v) { return "LockError(" + v.err.debug() + ")"; }
  static const Error* cause_of(const InputProjectError& v) { return v.err.cause(); }
  static const Error* cause_of(const InputProjectCanonicalizationError& v) { return v.err.cause(); }
  static const Error* cause_of(const LockError& v) { return v.err.cause(); }
};

template <typename E>
class LockCommandError : public ErrorSum<LockCommandError<E>, LockCommandVariants<E>> {
 public:
  using ErrorSum<LockCommandError<E>, LockCommandVariants<E>>::ErrorSum;
};

}  // namespace kestro::commands
