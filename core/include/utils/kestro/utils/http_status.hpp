// The text of an HTTP status inside messages.
#pragma once

#include <cstdint>
#include <string>

namespace kestro {

// "404 Not Found": the code and its standard reason phrase (never the
// server's); "599 <unknown status code>" for a code without one.
std::string http_status_text(std::uint16_t code);

}  // namespace kestro
