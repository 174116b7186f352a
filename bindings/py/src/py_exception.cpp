#include "kestro_py/py_exception.hpp"

#include <string>

#include "kestro/utils/text.hpp"

namespace kestro::py {

PyException PyException::fetch() {
  PyObject* raised = PyErr_GetRaisedException();
  if (raised == nullptr) {
    return make(PyExc_SystemError, "a failed call into Python left no exception set");
  }
  return PyException(PyRef::steal(raised));
}

PyResult<PyRef> message_to_py(std::string_view message) {
  std::string lossy;
  if (!is_valid_utf8(message)) message = lossy = utf8_lossy(message);
  return checked(PyUnicode_FromStringAndSize(message.data(), static_cast<Py_ssize_t>(message.size())));
}

PyException PyException::make(PyObject* type, std::string_view message) {
  auto text = message_to_py(message);
  if (!text) return std::move(text.error());
  PyRef instance = PyRef::steal(PyObject_CallOneArg(type, text->get()));
  if (!instance) return fetch();
  return PyException(std::move(instance));
}

void PyException::add_note(std::string_view note) const {
  PyRef text = PyRef::steal(PyUnicode_FromStringAndSize(note.data(), static_cast<Py_ssize_t>(note.size())));
  PyRef result;
  if (text) result = PyRef::steal(PyObject_CallMethod(instance_.get(), "add_note", "O", text.get()));
  if (!result) PyErr_Clear();
}

void PyException::set_cause(PyException cause) const {
  PyException_SetCause(instance_.get(), cause.instance_.release());
}

void PyException::restore() && { PyErr_SetRaisedException(instance_.release()); }

}  // namespace kestro::py
