// Lock reading on any bytes. A lock that reads writes a text that reads back
// as the same lock and writes the same bytes again; its canonical form reads
// back too.
#include <string>

#include "fuzz_check.hpp"
#include "kestro/lock/lock.hpp"
#include "kestro/lock/lock_order.hpp"
#include "kestro/lock/lock_read.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto lock = lock::parse_lock(text);
  if (!lock) {
    (void)render_error_chain(lock.error());
    (void)lock.error().debug();
    return 0;
  }
  auto written = lock::serialize_lock(*lock);
  KESTRO_FUZZ_CHECK(written.has_value());
  auto again = lock::parse_lock(*written);
  KESTRO_FUZZ_CHECK(again.has_value());
  KESTRO_FUZZ_CHECK(*again == *lock);
  KESTRO_FUZZ_CHECK(lock::serialize_lock(*again) == written);

  const lock::Lock ordered = lock::canonicalize_lock(std::move(*lock));
  auto ordered_text = lock::serialize_lock(ordered);
  KESTRO_FUZZ_CHECK(ordered_text.has_value());
  auto ordered_again = lock::parse_lock(*ordered_text);
  KESTRO_FUZZ_CHECK(ordered_again.has_value());
  KESTRO_FUZZ_CHECK(*ordered_again == ordered);
  return 0;
}
