// `kestro.toml` on any bytes. Each project source read from it, written as
// its inline table and read again, is the same source.
#include <string>

#include "fuzz_check.hpp"
#include "kestro/model/config.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_write.hpp"

using namespace kestro;
using namespace kestro::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto config = parse_config_toml(fuzz::as_text(data, size));
  if (!config) {
    (void)config.error().message();
    return 0;
  }
  for (const ConfigProject& project : config->project)
    for (const OverrideSource& source : project.sources) {
      auto doc = toml::parse("s = " + toml::write_inline(override_source_to_toml(source)) + "\n");
      KESTRO_FUZZ_CHECK(doc.has_value());
      auto again = deserialize_override_source(*doc, doc->get(doc->root(), "s"));
      KESTRO_FUZZ_CHECK(again.has_value());
      KESTRO_FUZZ_CHECK(*again == source);
    }
  return 0;
}
