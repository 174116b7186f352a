// The project layer's namespace: its code sees the names of the layers below
// it unqualified.
#pragma once

namespace kestro::model {}

namespace kestro::project {
using namespace kestro::model;
}  // namespace kestro::project
