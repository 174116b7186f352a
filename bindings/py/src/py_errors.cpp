#include "kestro_py/py_errors.hpp"

#include "kestro/utils/log.hpp"
#include "kestro_py/call_frame.hpp"
#include "kestro_py/convert.hpp"
#include "kestro_py/gil.hpp"
#include "kestro_py/shared_state.hpp"

namespace kestro::py {

namespace {

constexpr std::string_view kLogTarget = "kestro_py::py_errors";

PyException unregistered_exception_error(std::string_view message) {
  std::string text(message);
  text +=
      "\n\nnote: kestro's exception classes have not been\n"
      "registered with this extension module. Import the Python\n"
      "package that owns it before calling into the bindings.";
  return PyException::make(PyExc_RuntimeError, text);
}

PyException call_exception_class(PyObject* cls, std::string_view message, PyObject* kwargs) {
  auto text = message_to_py(message);
  if (!text) return std::move(text.error());
  PyRef args = PyRef::steal(PyTuple_Pack(1, text->get()));
  if (!args) return PyException::fetch();
  PyRef made = PyRef::steal(PyObject_Call(cls, args.get(), kwargs));
  if (!made) return PyException::fetch();
  if (!PyExceptionInstance_Check(made.get())) {
    return PyException::make(PyExc_TypeError, "exceptions must derive from BaseException");
  }
  return PyException::from_instance(std::move(made));
}

PyException with_gil(ExceptionSlot slot, std::string_view message) {
  GilAcquire gil;
  return registered_exception(slot, message);
}

// Keeps the first registration for the life of the interpreter.
PyResult<PyRef> store_exception_classes(std::array<PyRef, kExceptionSlots> classes) {
  auto state = shared_state();
  if (!state) return std::unexpected(std::move(state.error()));
  if ((*state)->registered) {
    log::debug(kLogTarget, "kestro's exception classes are already registered; keeping the ones registered first");
    return none();
  }
  for (std::size_t i = 0; i < kExceptionSlots; ++i) (*state)->exception_classes[i] = classes[i].release();
  (*state)->registered = true;
  return none();
}

constexpr KeywordOnly kSlotKeywords[] = {
    {"project", true}, {"env", true},   {"resolution", true}, {"not_found", true},
    {"auth", true},    {"index_protocol", true}, {"solve", true}, {"sync", true},
};
constexpr Signature kRegisterErrors{"_register_errors", {}, 0, kSlotKeywords};

PyObject* register_errors_py(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  using Type = Arg<type_from_py>;
  return call_frame<Type, Type, Type, Type, Type, Type, Type, Type>(
      kRegisterErrors, {args, nargs, kwnames},
      [](PyRef project, PyRef env, PyRef resolution, PyRef not_found, PyRef auth, PyRef index_protocol, PyRef solve,
         PyRef sync) {
        return store_exception_classes({std::move(project), std::move(env), std::move(resolution),
                                        std::move(not_found), std::move(auth), std::move(index_protocol),
                                        std::move(solve), std::move(sync)});
      });
}

}  // namespace

PyException registered_exception(ExceptionSlot slot, std::string_view message, PyObject* kwargs) {
  auto state = shared_state();
  if (!state) return std::move(state.error());
  if (!(*state)->registered) return unregistered_exception_error(message);
  return call_exception_class((*state)->exception_classes[static_cast<std::size_t>(slot)], message, kwargs);
}

PyException registered_exception(ExceptionSlot slot, const Error& error, PyObject* kwargs) {
  return registered_exception(slot, render_error_chain(error), kwargs);
}

PyException builtin_exception(PyObject* type, const Error& error) {
  return PyException::make(type, render_error_chain(error));
}

PyException resolution_error(std::string_view message) { return with_gil(ExceptionSlot::Resolution, message); }
PyException auth_error(std::string_view message) { return with_gil(ExceptionSlot::Auth, message); }
PyException index_protocol_error(std::string_view message) { return with_gil(ExceptionSlot::IndexProtocol, message); }

PyMethodDef* register_errors_method() {
  static PyMethodDef def = method_def(
      "_register_errors", register_errors_py,
      "_register_errors(*, project, env, resolution, not_found, auth, index_protocol, solve, sync)\n--\n\n"
      "Hand this extension the exception classes it should raise.\n"
      "\n"
      "Called by `_errors.py` when the package is imported.\n"
      "\n"
      "The first registration wins. All subsequent ones are ignored, since\n"
      "the calling module may be initialized multiple times (e.g. `importlib.reload`)");
  return &def;
}

}  // namespace kestro::py
