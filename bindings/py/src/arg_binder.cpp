#include "kestro_py/arg_binder.hpp"

#include <string>
#include <vector>

#include <fmt/format.h>

namespace kestro::py {

namespace {

// The parameter index a keyword names, or -1.
Py_ssize_t find_keyword(const Signature& signature, PyObject* keyword) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(keyword, &size);
  if (text == nullptr) {
    PyErr_Clear();  // a name that is not UTF-8 names no parameter
    return -1;
  }
  std::string_view name(text, static_cast<std::size_t>(size));
  for (std::size_t i = 0; i < signature.size(); ++i) {
    if (signature.parameter(i) == name) return static_cast<Py_ssize_t>(i);
  }
  return -1;
}

std::unexpected<PyException> keyword_error(const Signature& signature, const char* what, PyObject* keyword) {
  std::string function(signature.name);
  PyErr_Format(PyExc_TypeError, "%s() %s '%S'", function.c_str(), what, keyword);
  return fetch_error();
}

std::unexpected<PyException> too_many_positional(const Signature& signature, Py_ssize_t given,
                                                 std::size_t keyword_only_given) {
  std::size_t count = signature.positional.size();
  bool has_defaults = signature.required_positional != count;
  std::string takes = has_defaults ? fmt::format("from {} to {}", signature.required_positional, count)
                                   : fmt::format("{}", count);
  bool plural = has_defaults || count != 1;
  std::string keyword_only;
  if (keyword_only_given > 0) {
    keyword_only = fmt::format(" positional argument{} (and {} keyword-only argument{})", given != 1 ? "s" : "",
                               keyword_only_given, keyword_only_given != 1 ? "s" : "");
  }
  return error_of(PyExc_TypeError,
                  fmt::format("{}() takes {} positional argument{} but {}{} {} given", signature.name, takes,
                              plural ? "s" : "", given, keyword_only,
                              given == 1 && keyword_only_given == 0 ? "was" : "were"));
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string join_names(const std::vector<std::string_view>& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    text += fmt::format("'{}'", names[i]);
  }
  return text;
}

std::unexpected<PyException> missing(const Signature& signature, const char* kind,
                                     const std::vector<std::string_view>& names) {
  return error_of(PyExc_TypeError, fmt::format("{}() missing {} required {} argument{}: {}", signature.name,
                                               names.size(), kind, names.size() == 1 ? "" : "s", join_names(names)));
}

}  // namespace

// The checks come in the order CPython makes them for a Python function:
// keywords first, then the count of positional arguments, then missing
// positional and missing keyword-only parameters.
PyResult<BoundArgs> bind_arguments(const Signature& signature, const VectorcallArgs& call) {
  BoundArgs bound;
  std::size_t positional = signature.positional.size();
  std::size_t given = static_cast<std::size_t>(call.nargs);
  for (std::size_t i = 0; i < std::min(given, positional); ++i) bound.values_[i] = call.args[i];

  Py_ssize_t keywords = call.kwnames == nullptr ? 0 : PyTuple_GET_SIZE(call.kwnames);
  for (Py_ssize_t k = 0; k < keywords; ++k) {
    PyObject* keyword = PyTuple_GET_ITEM(call.kwnames, k);
    Py_ssize_t index = find_keyword(signature, keyword);
    if (index < 0) return keyword_error(signature, "got an unexpected keyword argument", keyword);
    if (bound.values_[index] != nullptr) return keyword_error(signature, "got multiple values for argument", keyword);
    bound.values_[index] = call.args[call.nargs + k];
  }

  if (given > positional) {
    std::size_t keyword_only_given = 0;
    for (std::size_t i = positional; i < signature.size(); ++i) keyword_only_given += bound.values_[i] != nullptr;
    return too_many_positional(signature, call.nargs, keyword_only_given);
  }

  std::vector<std::string_view> absent;
  for (std::size_t i = 0; i < signature.required_positional; ++i) {
    if (bound.values_[i] == nullptr) absent.push_back(signature.positional[i]);
  }
  if (!absent.empty()) return missing(signature, "positional", absent);
  for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
    if (signature.keyword_only[i].required && bound.values_[positional + i] == nullptr) {
      absent.push_back(signature.keyword_only[i].name);
    }
  }
  if (!absent.empty()) return missing(signature, "keyword-only", absent);
  return bound;
}

}  // namespace kestro::py
