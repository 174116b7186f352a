// The classes of an HTTP status code, by its first digit.
#pragma once

#include <cstdint>

namespace kestro::http {

constexpr bool is_informational(std::uint16_t status) { return status >= 100 && status <= 199; }
constexpr bool is_success(std::uint16_t status) { return status >= 200 && status <= 299; }
constexpr bool is_redirect(std::uint16_t status) { return status >= 300 && status <= 399; }
constexpr bool is_client_error(std::uint16_t status) { return status >= 400 && status <= 499; }
constexpr bool is_server_error(std::uint16_t status) { return status >= 500 && status <= 599; }

}  // namespace kestro::http
