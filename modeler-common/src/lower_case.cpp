#include "kestro/modeler/lower_case.hpp"

#include <cstdint>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace kestro::modeler {

std::string full_lower_case(std::string_view text) {
  icu::UnicodeString unicode =
      icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
  unicode.toLower(icu::Locale::getRoot());
  std::string lowered;
  unicode.toUTF8String(lowered);
  return lowered;
}

}  // namespace kestro::modeler
