// IRIs on any bytes. An accepted IRI keeps its text exactly, its
// components are pieces of that text in order, and it reads again to an
// equal IRI.
#include "fuzz_check.hpp"
#include "kestro/utils/iri.hpp"

using namespace kestro;

namespace {

// Whether `part` is a view into `whole`.
bool inside(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto iri = iri::Iri::parse(text);
  if (!iri) {
    (void)iri.error().message();
    return 0;
  }
  const std::string_view all = iri->as_str();
  KESTRO_FUZZ_CHECK(all == text);
  KESTRO_FUZZ_CHECK(!iri->scheme().empty() && inside(iri->scheme(), all));
  KESTRO_FUZZ_CHECK(inside(iri->path(), all));
  for (auto part : {iri->authority(), iri->userinfo(), iri->host(), iri->port(), iri->query(), iri->fragment()})
    KESTRO_FUZZ_CHECK(!part || inside(*part, all));
  if (iri->host()) KESTRO_FUZZ_CHECK(iri->authority().has_value());
  auto again = iri::Iri::parse(all);
  KESTRO_FUZZ_CHECK(again.has_value() && *again == *iri);
  return 0;
}
