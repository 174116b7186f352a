// Small text helpers shared by messages and readers.
#pragma once

#include <string>
#include <string_view>

namespace kestro {

bool is_valid_utf8(std::string_view bytes);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

// A text as a quoted, escaped literal: "a\0b", control characters as \u{..}.
std::string debug_quote(std::string_view text);

// The text with A-Z lowered; every other byte unchanged.
std::string ascii_lowercase(std::string_view text);

}  // namespace kestro
