// `pkg:kestro` identifiers on any bytes. An accepted identifier's fields
// are valid, already normalised, and spell the text after the prefix; the
// field rules agree with normalisation on the raw text.
#include "fuzz_check.hpp"
#include "kestro/model/purl.hpp"

using namespace kestro;
using namespace kestro::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  for (PurlField kind : {PurlField::Publisher, PurlField::Name}) {
    const std::string norm = normalize_purl_field(text);
    KESTRO_FUZZ_CHECK(normalize_purl_field(norm) == norm);
    KESTRO_FUZZ_CHECK(is_valid_purl_field(text, kind) == is_valid_purl_field(norm, kind));
  }
  auto purl = parse_kestro_purl(text);
  if (!purl) {
    (void)purl.error().message();
    (void)purl.error().debug();
    return 0;
  }
  if (!*purl) return 0;
  const KestroPurl& p = **purl;
  KESTRO_FUZZ_CHECK(is_valid_purl_field(p.publisher, PurlField::Publisher));
  KESTRO_FUZZ_CHECK(is_valid_purl_field(p.name, PurlField::Name));
  KESTRO_FUZZ_CHECK(normalize_purl_field(p.publisher) == p.publisher);
  KESTRO_FUZZ_CHECK(normalize_purl_field(p.name) == p.name);
  KESTRO_FUZZ_CHECK(text.size() == 11 + p.publisher.size() + 1 + p.name.size());
  KESTRO_FUZZ_CHECK(text.substr(11, p.publisher.size()) == p.publisher);
  KESTRO_FUZZ_CHECK(text.substr(text.size() - p.name.size()) == p.name);
  return 0;
}
