// The environment layer's namespace: its code sees the names of the layers
// below it unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::project {}

namespace kestro::env {
using namespace kestro::model;
using namespace kestro::project;
}  // namespace kestro::env
