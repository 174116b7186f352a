// The command line's namespace: its code sees the names of the layers below
// it unqualified.
#pragma once

#include "kestro/commands/namespace.hpp"

namespace kestro::cli {
using namespace kestro::commands;
}  // namespace kestro::cli
