// The bridge from the logging facade to Python's `logging`: each record goes
// to the Python logger named after its target, "::" turned into ".".
#pragma once

#include "kestro_py/namespace.hpp"

#include <string>
#include <string_view>

namespace kestro::py {

// "kestro_py::py_errors" -> "kestro_py.py_errors".
std::string python_logger_name(std::string_view target);

// Builds the bridge and installs it as the process-wide sink unless a sink is
// installed already (then the bridge is dropped). Needs the GIL. Throws
// kestro::InternalError when Python's `logging` cannot be imported.
void install_logging_bridge();

}  // namespace kestro::py
