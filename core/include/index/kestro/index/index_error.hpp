// A failure reading a package index, with an optional suggestion shown
// after the rendered cause.
#pragma once

#include "kestro/index/namespace.hpp"

#include <optional>
#include <string>

#include "kestro/utils/error.hpp"

namespace kestro::index {

// The wrapper of the local-index commands: the wrapped chain, then an
// optional note. The chain is a shared error value: it wraps the error of
// whichever index command failed, and those errors live in the commands
// layer above this one.
class IndexError : public Error {
 public:
  IndexError(ErrorPtr inner, std::optional<std::string> suggestion)
      : inner_(std::move(inner)), suggestion_(std::move(suggestion)) {}
  std::string message() const override;
  std::string debug() const override;
  const Error* inner() const { return inner_.get(); }

 private:
  ErrorPtr inner_;
  std::optional<std::string> suggestion_;
};

}  // namespace kestro::index
