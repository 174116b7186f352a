// The TOML writer: string, key and inline value texts.
#pragma once

#include <string>
#include <string_view>

#include "kestro/utils/toml_value.hpp"

namespace kestro::toml {

// A string value in the first of these forms that can hold the text (a
// control character is U+0000 to U+001F or U+007F; tab and line feed are
// named apart):
//   1. "basic": no `"`, `\`, line feed or other control character;
//   2. 'literal': no `'`, line feed or other control character;
//   3. """multi-line basic""": no control character but tab and line feed,
//      no `\`, no run of three `"`;
//   4. '''multi-line literal''': no control character but tab and line feed,
//      no run of three `'`;
//   5. an escaped basic string, multi-line when the text holds a line feed.
// Basic strings write tab, backspace, form feed and carriage return as \t,
// \b, \f, \r, a backslash as \\, other control characters as \uXXXX
// (upper-case hex); the one-line form escapes every `"` and a line feed as
// \n, the multi-line form only a `"` that would be the third in a row.
// Multi-line forms of a text holding a line feed start with a line feed
// after the opening delimiter. Characters beyond ASCII stay as they are.
std::string write_string(std::string_view text);

// A key: bare when it is one or more of A-Z a-z 0-9 _ -, else quoted.
std::string write_key(std::string_view key);

// A value in inline form: arrays as "[a, b]", tables as "{ k = v, k2 = v2 }"
// ("[]" and "{}" when empty). Never recurses.
std::string write_inline(const Value& value);

}  // namespace kestro::toml
