// Quoting a text for a POSIX shell, for command lines that messages suggest
// the user to run.
#pragma once

#include <string>
#include <string_view>

namespace kestro {

// The text between single quotes; each single quote inside becomes '\''
// (close the quotes, an escaped quote, open them again). Any text comes out
// as one word, whatever it holds.
std::string shell_quote(std::string_view text);

}  // namespace kestro
