// A response body as text, decoded by the character set its answer
// declares.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestro::http {

// The `charset` parameter of a `Content-Type` value, unquoted and in lower
// case; none when the value has no such parameter.
std::optional<std::string> content_type_charset(std::string_view content_type);

// `body` as UTF-8 text: its encoding is the `charset` parameter of
// `content_type` (UTF-8 when there is none or it names no known encoding;
// the Latin-1 and ASCII labels mean windows-1252, as web clients read
// them), except that a byte-order mark at the start decides it and is
// removed. Malformed sequences become U+FFFD.
std::string decode_body_text(std::string_view body, std::optional<std::string_view> content_type);
// The same for a body the caller gives up: valid UTF-8 declared as such (or
// undeclared) comes back as it is, without a copy.
std::string decode_body_text(std::string body, std::optional<std::string_view> content_type);

}  // namespace kestro::http
