// `.project.json` on any bytes: a record read, written in the file layout
// and read again is the same record, once its usages have settled on the
// kind their written form reads as.
#include "fuzz_check.hpp"
#include "kestro/model/records.hpp"

using namespace kestro;
using namespace kestro::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::check_round_trip(fuzz::as_text(data, size), parse_project_info,
                         [](const InterchangeProjectInfoRaw& info) { return to_pretty_json(info); },
                         fuzz::Settle::Once);
  return 0;
}
