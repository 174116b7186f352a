// Readable names of any bytes: a Punycode decoding is UTF-8; a version slug
// is UTF-8 of at most 30 bytes; the display name of an IRI the parser
// accepts is UTF-8 of 1 to 120 bytes without a `/`.
#include "fuzz_check.hpp"
#include "kestro/env/install_location.hpp"
#include "kestro/utils/display_name.hpp"
#include "kestro/utils/punycode.hpp"
#include "kestro/utils/text.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  if (auto decoded = punycode_decode(text)) KESTRO_FUZZ_CHECK(is_valid_utf8(*decoded));
  const std::string slug = version_slug(text);
  KESTRO_FUZZ_CHECK(slug.size() <= 30 && is_valid_utf8(slug));
  if (auto iri = iri::Iri::parse(text)) {
    const std::string name = env::iri_display_name(*iri);
    KESTRO_FUZZ_CHECK(!name.empty() && name.size() <= 120 && is_valid_utf8(name));
    KESTRO_FUZZ_CHECK(name.find('/') == std::string::npos);
  }
  return 0;
}
