// The Python binding layer's namespace: its code sees the core's layers
// unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::project {}
namespace kestro::index {}
namespace kestro::remote {}

namespace kestro::py {
using namespace kestro::model;
using namespace kestro::project;
using namespace kestro::index;
using namespace kestro::remote;
}  // namespace kestro::py
