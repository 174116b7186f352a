// The solving layer's namespace: its code sees the names of the layers
// below it unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::project {}
namespace kestro::resolve {}

namespace kestro::solve {
using namespace kestro::model;
using namespace kestro::project;
using namespace kestro::resolve;
}  // namespace kestro::solve
