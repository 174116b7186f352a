// The index documents on any bytes, each input read as all three:
// `kestro-index-config.json` (no writer), and `index.json` and
// `versions.json`, whose records written in the file layout read back the
// same.
#include "fuzz_check.hpp"
#include "kestro/model/index_documents.hpp"

using namespace kestro;
using namespace kestro::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  if (auto config = parse_index_config(text); !config) (void)config.error().message();
  fuzz::check_round_trip(text, parse_index_json_text, [](const IndexJson& index) { return to_pretty_json(index); });
  fuzz::check_round_trip(text, parse_versions_json_text,
                         [](const VersionsJson& versions) { return to_pretty_json(versions); });
  return 0;
}
