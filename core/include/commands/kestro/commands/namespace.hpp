// The commands layer's namespace: its code sees the names of the layers
// below it unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::project {}
namespace kestro::env {}
namespace kestro::index {}
namespace kestro::credentials {}

namespace kestro::commands {
using namespace kestro::model;
using namespace kestro::project;
using namespace kestro::env;
using namespace kestro::index;
using namespace kestro::credentials;
}  // namespace kestro::commands
