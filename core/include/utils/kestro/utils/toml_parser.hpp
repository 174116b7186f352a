// Reading TOML text into a document.
#pragma once

#include <expected>
#include <string>

#include "kestro/utils/toml_document.hpp"

namespace kestro::toml {

// Parses a document. A leading UTF-8 byte-order mark is skipped (and kept in
// the text). Errors carry the span of the offending text and the input.
std::expected<Document, Error> parse(std::string source);

}  // namespace kestro::toml
