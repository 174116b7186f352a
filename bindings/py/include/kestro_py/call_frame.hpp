// The frame every module function runs in: argument binding, conversion of
// each argument (a failure carries the note "while processing '{name}'"),
// the logging bridge for the `do_` functions, the body, and containment of
// internal failures.
#pragma once

#include "kestro_py/namespace.hpp"

#include <Python.h>

#include <optional>
#include <tuple>
#include <utility>

#include <fmt/format.h>

#include "kestro_py/arg_binder.hpp"
#include "kestro_py/internal_failure.hpp"
#include "kestro_py/logging_bridge.hpp"
#include "kestro_py/py_exception.hpp"

namespace kestro::py {

// A parameter converted by `Convert` (PyObject* -> PyResult<T>); its failure
// carries the note naming the parameter.
template <auto Convert>
struct Arg {
  using type = typename decltype(Convert(nullptr))::value_type;
  static constexpr bool noted = true;
  static PyResult<type> convert(PyObject* object) { return Convert(object); }
};

// The same without the note: the failure is raised as the conversion made it.
template <auto Convert>
struct ArgWithoutNote : Arg<Convert> {
  static constexpr bool noted = false;
};

// The entry point CPython calls for a METH_FASTCALL | METH_KEYWORDS function.
using FastcallEntry = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

inline PyMethodDef method_def(const char* name, FastcallEntry entry, const char* doc) {
  return PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry)),
                     METH_FASTCALL | METH_KEYWORDS, doc};
}

namespace detail {

template <typename Param>
bool convert_argument(const Signature& signature, const BoundArgs& bound, std::size_t index,
                      std::optional<typename Param::type>& value, std::optional<PyException>& failure) {
  auto converted = Param::convert(bound[index]);
  if (converted) {
    value.emplace(std::move(*converted));
    return true;
  }
  if constexpr (Param::noted) converted.error().add_note(fmt::format("while processing '{}'", signature.parameter(index)));
  failure.emplace(std::move(converted.error()));
  return false;
}

template <typename... Params, std::size_t... I, typename Body>
PyObject* convert_and_run(const Signature& signature, const BoundArgs& bound, std::index_sequence<I...>, Body& body) {
  std::tuple<std::optional<typename Params::type>...> values;
  std::optional<PyException> failure;
  // Signature order; the first failure ends the call.
  bool converted = (convert_argument<Params>(signature, bound, I, std::get<I>(values), failure) && ...);
  if (!converted) return raise(std::move(*failure));
  if (signature.name.starts_with("do_")) install_logging_bridge();
  PyResult<PyRef> result = body(std::move(*std::get<I>(values))...);
  if (!result) return raise(std::move(result.error()));
  return result->release();
}

}  // namespace detail

// Runs one call of a module function. `Params` describe the parameters in
// signature order; `body` takes their converted values and returns the
// result (PyResult<PyRef>).
template <typename... Params, typename Body>
PyObject* call_frame(const Signature& signature, const VectorcallArgs& call, Body&& body) noexcept {
  static_assert(sizeof...(Params) <= kMaxParameters);
  return contain_internal_failures(
      [&]() -> PyObject* {
        auto bound = bind_arguments(signature, call);
        if (!bound) return raise(std::move(bound.error()));
        return detail::convert_and_run<Params...>(signature, *bound, std::index_sequence_for<Params...>{}, body);
      },
      static_cast<PyObject*>(nullptr));
}

}  // namespace kestro::py
