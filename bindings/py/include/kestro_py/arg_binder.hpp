// Binding of a vector call's arguments to a function's parameters, with the
// TypeError texts CPython gives for a Python function of the same signature.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <array>
#include <span>
#include <string_view>

#include "kestro_py/py_exception.hpp"

namespace kestro::py {

struct KeywordOnly {
  std::string_view name;
  bool required;
};

// A function's parameters: positional-or-keyword ones, of which the first
// `required_positional` have no default, then keyword-only ones. There are no
// positional-only or variadic parameters.
struct Signature {
  std::string_view name;
  std::span<const std::string_view> positional;
  std::size_t required_positional;
  std::span<const KeywordOnly> keyword_only;

  std::size_t size() const { return positional.size() + keyword_only.size(); }
  std::string_view parameter(std::size_t index) const {
    return index < positional.size() ? positional[index] : keyword_only[index - positional.size()].name;
  }
};

// The arguments of one call as CPython's vector call passes them.
struct VectorcallArgs {
  PyObject* const* args;
  Py_ssize_t nargs;
  PyObject* kwnames;
};

// The most parameters any function has.
inline constexpr std::size_t kMaxParameters = 8;

// One borrowed object per parameter, in signature order; null for an omitted
// parameter that has a default.
class BoundArgs {
 public:
  PyObject* operator[](std::size_t index) const { return values_[index]; }

 private:
  friend PyResult<BoundArgs> bind_arguments(const Signature&, const VectorcallArgs&);
  std::array<PyObject*, kMaxParameters> values_{};
};

PyResult<BoundArgs> bind_arguments(const Signature& signature, const VectorcallArgs& call);

}  // namespace kestro::py
