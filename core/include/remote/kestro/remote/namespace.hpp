// The network reading layer's namespace: its code sees the names of the
// layers below it unqualified.
#pragma once

namespace kestro::model {}
namespace kestro::project {}
namespace kestro::index {}
namespace kestro::http {}
namespace kestro::credentials {}
namespace kestro::auth {}

namespace kestro::remote {
using namespace kestro::model;
using namespace kestro::project;
using namespace kestro::index;
using namespace kestro::http;
using namespace kestro::credentials;
using namespace kestro::auth;
}  // namespace kestro::remote
