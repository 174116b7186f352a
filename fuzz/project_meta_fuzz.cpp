// `.meta.json` on any bytes: a record read, written in the file layout and
// read again is the same record.
#include "fuzz_check.hpp"
#include "kestro/model/records.hpp"

using namespace kestro;
using namespace kestro::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::check_round_trip(fuzz::as_text(data, size), parse_project_meta,
                         [](const InterchangeProjectMetadataRaw& meta) { return to_pretty_json(meta); });
  return 0;
}
