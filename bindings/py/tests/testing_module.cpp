// `_kestro_py_testing`: a module for the Python tests only. It reaches the
// parts of the binding layer that no package-manager function reaches yet
// (raise operations, converters, failure containment, logging from a section
// without the GIL) through the same call frame the real functions use.
#include <Python.h>

#include <array>
#include <optional>
#include <string_view>

#include "kestro/utils/error.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/auth/credential.hpp"
#include "kestro/http/http_error.hpp"
#include "kestro/resolve/resolution_error.hpp"
#include "kestro_py/auth_hint.hpp"
#include "kestro_py/call_frame.hpp"
#include "kestro_py/convert.hpp"
#include "kestro_py/gil.hpp"
#include "kestro_py/module.hpp"
#include "kestro_py/py_errors.hpp"
#include "kestro_py/records.hpp"

namespace {

using namespace kestro;
using namespace kestro::model;
using namespace kestro::project;
using namespace kestro::remote;
using namespace kestro::py;

PyResult<ExceptionSlot> slot_from_py(PyObject* object) {
  static constexpr std::array<std::string_view, 8> kNames = {"project", "env",            "resolution", "not_found",
                                                             "auth",    "index_protocol", "solve",      "sync"};
  auto name = str_from_py(object);
  if (!name) return std::unexpected(std::move(name.error()));
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    if (*name == kNames[i]) return static_cast<ExceptionSlot>(i);
  }
  return error_of(PyExc_ValueError, "unknown slot");
}

PyResult<PyRef> object_from_py(PyObject* object) { return PyRef::borrow(object); }

// A message as a `str`, or as `bytes` taken as they are (which need not be
// UTF-8, as a path in a message need not be).
PyResult<std::string> message_from_py(PyObject* object) {
  if (!PyBytes_Check(object)) return str_from_py(object);
  return std::string(PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object)));
}
PyResult<std::vector<std::string>> messages_from_py(PyObject* object) {
  return sequence_from_py<std::string>(object, message_from_py);
}
PyResult<std::optional<std::string>> optional_message_from_py(PyObject* object) {
  if (object == Py_None) return std::nullopt;
  return message_from_py(object);
}

// raise_registered(slot, messages, kwargs): the chain of messages (outermost
// first; str or bytes) raised through the slot; one message is raised as a
// plain text.
constexpr std::string_view kRaiseParams[] = {"slot", "messages", "kwargs"};
constexpr Signature kRaiseRegistered{"raise_registered", kRaiseParams, 3, {}};
PyObject* raise_registered(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<slot_from_py>, Arg<messages_from_py>, Arg<object_from_py>>(
      kRaiseRegistered, {args, nargs, kwnames},
      [](ExceptionSlot slot, std::vector<std::string> messages, PyRef kwargs) -> PyResult<PyRef> {
        PyObject* keywords = kwargs.get() == Py_None ? nullptr : kwargs.get();
        if (messages.size() == 1) return std::unexpected(registered_exception(slot, messages[0], keywords));
        ErrorPtr chain;
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) chain = make_error<MessageError>(*it, chain);
        return std::unexpected(registered_exception(slot, *chain, keywords));
      });
}

// raise_from_released(slot, message): a registered failure made while the
// GIL is released, as the network functions do.
constexpr std::string_view kReleasedParams[] = {"slot", "message"};
constexpr Signature kRaiseFromReleased{"raise_from_released", kReleasedParams, 2, {}};
PyObject* raise_from_released(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<slot_from_py>, Arg<str_from_py>>(
      kRaiseFromReleased, {args, nargs, kwnames}, [](ExceptionSlot slot, std::string message) -> PyResult<PyRef> {
        std::optional<PyException> failure;
        {
          GilRelease released;
          if (slot == ExceptionSlot::Resolution) failure.emplace(resolution_error(message));
          if (slot == ExceptionSlot::Auth) failure.emplace(auth_error(message));
          if (slot == ExceptionSlot::IndexProtocol) failure.emplace(index_protocol_error(message));
        }
        if (!failure) return error_of(PyExc_ValueError, "slot without a GIL-taking raise operation");
        return std::unexpected(std::move(*failure));
      });
}

// fail_internally(message): a C++ exception thrown from a body, its message a
// str or bytes; None throws one that is not a std::exception.
constexpr std::string_view kFailParams[] = {"message"};
constexpr Signature kFailInternally{"fail_internally", kFailParams, 1, {}};
PyObject* fail_internally(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<optional_message_from_py>>(kFailInternally, {args, nargs, kwnames},
                                               [](std::optional<std::string> message) -> PyResult<PyRef> {
                                                 if (!message) throw 42;
                                                 internal_error(*message);
                                               });
}

// echo(text, flag, items=None): the converted arguments back as a tuple.
constexpr std::string_view kEchoParams[] = {"text", "flag", "items"};
constexpr Signature kEcho{"echo", kEchoParams, 2, {}};
PyResult<std::optional<std::vector<std::string>>> optional_str_list(PyObject* object) {
  if (object == nullptr || object == Py_None) return std::nullopt;
  return str_list_from_py(object);
}
PyObject* echo(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<str_from_py>, Arg<bool_from_py>, Arg<optional_str_list>>(
      kEcho, {args, nargs, kwnames},
      [](std::string text, bool flag, std::optional<std::vector<std::string>> items) -> PyResult<PyRef> {
        auto py_text = str_to_py(text);
        if (!py_text) return py_text;
        PyRef py_items = none();
        if (items) {
          auto list = str_list_to_py(*items);
          if (!list) return list;
          py_items = std::move(*list);
        }
        return checked(PyTuple_Pack(3, py_text->get(), flag ? Py_True : Py_False, py_items.get()));
      });
}

// do_log_released(level, target, message): a `do_` function (so it installs
// the logging bridge) that logs while the GIL is released.
constexpr std::string_view kLogParams[] = {"level", "target", "message"};
constexpr Signature kDoLogReleased{"do_log_released", kLogParams, 3, {}};
PyResult<log::Level> level_from_py(PyObject* object) {
  long value = PyLong_AsLong(object);
  if (value == -1 && PyErr_Occurred()) return fetch_error();
  return static_cast<log::Level>(value);
}
PyObject* do_log_released(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<level_from_py>, Arg<str_from_py>, Arg<str_from_py>>(
      kDoLogReleased, {args, nargs, kwnames},
      [](log::Level level, std::string target, std::string message) -> PyResult<PyRef> {
        {
          GilRelease released;
          log::write(level, target, "{}", message);
        }
        return none();
      });
}

// env_checksum(kind, hex): the installed-project checksum of kind "src" or
// "kpar" as the dict Python sees.
constexpr std::string_view kEnvChecksumParams[] = {"kind", "hex"};
constexpr Signature kEnvChecksum{"env_checksum", kEnvChecksumParams, 2, {}};
PyObject* env_checksum(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<str_from_py>, Arg<str_from_py>>(
      kEnvChecksum, {args, nargs, kwnames}, [](std::string kind, std::string hex) -> PyResult<PyRef> {
        if (kind == "src") return env_checksum_to_py(EnvProjectChecksum::src(std::move(hex)));
        if (kind == "kpar") return env_checksum_to_py(EnvProjectChecksum::kpar(std::move(hex)));
        return error_of(PyExc_ValueError, "unknown checksum kind");
      });
}

// auth_hint(failure, status, url, kind, url_glob, env): a resolver failure
// of the named shape raised with its authentication hint. `env` lists the
// configured pairs as "pattern|label|token", an empty label making a basic
// pair.
constexpr std::string_view kAuthHintParams[] = {"failure", "status", "url", "kind", "url_glob", "env"};
constexpr Signature kAuthHint{"auth_hint", kAuthHintParams, 6, {}};
PyResult<long> long_from_py(PyObject* object) {
  long value = PyLong_AsLong(object);
  if (value == -1 && PyErr_Occurred()) return fetch_error();
  return value;
}
PyResult<resolve::CombinedResolverError> resolver_failure(const std::string& failure, long status, const std::string& url) {
  using C = resolve::CombinedResolverError;
  using I = IndexEnvError;
  using F = FetchJsonError;
  const F bad_status(F::BadHttpStatus{url, static_cast<std::uint16_t>(status)});
  const auto index = [](I err) { return C(C::Index{std::move(err)}); };
  if (failure == "versions_status") return index(I(I::Fetch{bad_status}));
  if (failure == "versions_request")
    return index(I(I::Fetch{F(F::Request{url, http::HttpError::Connect{url, "connection refused"}})}));
  if (failure == "versions_body")
    return index(I(I::Fetch{F(F::Body{url, http::HttpError::Transfer{url, "connection reset"}})}));
  if (failure == "discovery_status")
    return index(I(I::Discovery{DiscoveryError(DiscoveryError::Fetch{bad_status})}));
  if (failure == "discovery_value")
    return index(I(I::Discovery{DiscoveryError(DiscoveryError::RelativeUrl{url, "api_root", "v1/"})}));
  if (failure == "project_status") return index(I(I::ProjectFetch{bad_status}));
  if (failure == "not_in_index") return index(I(I::ProjectNotInIndex{url, "pkg:kestro/p"}));
  if (failure == "file") return C(C::File{resolve::FileResolverError::FailedPathExtract{}});
  return error_of(PyExc_ValueError, "unknown failure");
}
PyObject* auth_hint(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return call_frame<Arg<str_from_py>, Arg<long_from_py>, Arg<str_from_py>, Arg<str_from_py>,
                    Arg<optional_message_from_py>, Arg<str_list_from_py>>(
      kAuthHint, {args, nargs, kwnames},
      [](std::string failure, long status, std::string url, std::string kind, std::optional<std::string> url_glob,
         std::vector<std::string> env) -> PyResult<PyRef> {
        auth::UrlGlobMapBuilder<auth::ConfiguredCredential> builder;
        for (const std::string& pair : env) {
          const auto a = pair.find('|'), b = pair.rfind('|');
          const std::string label = pair.substr(a + 1, b - a - 1), token = pair.substr(b + 1);
          if (label.empty())
            auth::push_credential(builder, pair.substr(0, a), {auth::ConfiguredCredential::Basic{"u", token}});
          else
            auth::push_credential(builder, pair.substr(0, a), {auth::ConfiguredCredential::Bearer{token, label}});
        }
        auto configured = auth::build_url_glob_map(std::move(builder));
        if (!configured) return error_of(PyExc_ValueError, configured.error().message());
        auto error = resolver_failure(failure, status, url);
        if (!error) return std::unexpected(std::move(error.error()));
        return std::unexpected(raise_http_error_with_auth_hint(*error, render_error_chain(*error),
                                                               {std::move(kind), std::move(url_glob)}, *configured));
      });
}

PyMethodDef kMethods[] = {
    method_def("auth_hint", auth_hint, "auth_hint(failure, status, url, kind, url_glob, env)\n--\n\n"),
    method_def("raise_registered", raise_registered, "raise_registered(slot, messages, kwargs)\n--\n\n"),
    method_def("raise_from_released", raise_from_released, "raise_from_released(slot, message)\n--\n\n"),
    method_def("fail_internally", fail_internally, "fail_internally(message)\n--\n\n"),
    method_def("echo", echo, "echo(text, flag, items=None)\n--\n\n"),
    method_def("do_log_released", do_log_released, "do_log_released(level, target, message)\n--\n\n"),
    method_def("env_checksum", env_checksum, "env_checksum(kind, hex)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef kModuleDef = {
    PyModuleDef_HEAD_INIT, "_kestro_py_testing", "", 0, kMethods, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__kestro_py_testing() { return PyModuleDef_Init(&kModuleDef); }
