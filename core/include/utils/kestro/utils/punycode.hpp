// Punycode (RFC 3492): the decoding of the ASCII form that internationalised
// host labels take after their `xn--` prefix.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestro {

// The UTF-8 text that `encoded` (a label without its `xn--` prefix) stands
// for, or none when it is no valid Punycode: a non-ASCII byte before the
// last `-`, a byte that is no base-36 digit after it, an integer overflow,
// a code point that is not a Unicode scalar value, or a truncated number.
// Digits are read in either letter case; basic code points are copied as
// written. The empty text decodes to the empty text.
std::optional<std::string> punycode_decode(std::string_view encoded);

}  // namespace kestro
