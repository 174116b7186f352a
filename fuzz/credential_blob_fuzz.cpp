// The stored-login blob reader on any bytes: a blob that reads is written,
// the text reads back to the same blob, and writing that gives the same text.
#include "fuzz_check.hpp"
#include "kestro/credentials/credential_blob.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::check_round_trip(fuzz::as_text(data, size), credentials::parse_credential_blob,
                         credentials::serialize_credential_blob);
  return 0;
}
