// RFC 3339 instants on any bytes. An accepted instant, formatted in UTC,
// reads back to the same instant when its UTC year is one the parser takes
// (an offset can move an instant past year 9999).
#include "fuzz_check.hpp"
#include "kestro/utils/rfc3339.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto t = time::parse_rfc3339(fuzz::as_text(data, size));
  if (!t) {
    (void)t.error().message();
    return 0;
  }
  KESTRO_FUZZ_CHECK(t->nanos < 1'000'000'000);
  const int year = time::to_civil_utc(*t).year;
  const std::string formatted = time::format_rfc3339_utc(*t);
  if (year < -9999 || year > 9999) return 0;
  auto again = time::parse_rfc3339(formatted);
  KESTRO_FUZZ_CHECK(again.has_value() && *again == *t);
  return 0;
}
