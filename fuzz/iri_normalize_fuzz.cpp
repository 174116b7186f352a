// Canonical IRIs of any bytes: an IRI the parser accepts either has a
// canonical text that is itself a well-formed IRI, or a host that UTS 46
// refuses.
#include "fuzz_check.hpp"
#include "kestro/utils/iri_normalize.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  const bool parses = iri::Iri::parse(text).has_value();
  auto canonical = iri::canonicalize_iri(text);
  if (!canonical) {
    const bool idn = canonical.error().holds<iri::IriNormalizeError::IdnConversion>();
    KESTRO_FUZZ_CHECK(idn == parses);
    (void)canonical.error().message();
    return 0;
  }
  KESTRO_FUZZ_CHECK(parses);
  KESTRO_FUZZ_CHECK(iri::Iri::parse(*canonical).has_value());
  return 0;
}
