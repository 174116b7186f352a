// The index layer's namespace: its code sees the names of the layers below
// it unqualified.
#pragma once

namespace kestro::model {}

namespace kestro::index {
using namespace kestro::model;
}  // namespace kestro::index
