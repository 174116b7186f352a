// The credential layer's namespace: its code sees the names of the layers
// below it unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::index {}
namespace kestro::http {}
namespace kestro::credentials {}

namespace kestro::auth {
using namespace kestro::model;
using namespace kestro::index;
using namespace kestro::http;
using namespace kestro::credentials;
}  // namespace kestro::auth
