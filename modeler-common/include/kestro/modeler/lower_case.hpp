#pragma once

#include <string>
#include <string_view>

namespace kestro::modeler {

// The Unicode default full lower-case mapping of the root locale
// (multi-character mappings and Final_Sigma included); invalid UTF-8 is read
// as U+FFFD. Name suggestions and the tables' file-name orders compare by it.
std::string full_lower_case(std::string_view text);

}  // namespace kestro::modeler
