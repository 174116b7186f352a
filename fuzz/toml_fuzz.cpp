// The TOML reader on any bytes. A parsed, unedited document prints its own
// bytes exactly. Each value under the root as an owned tree, written in
// inline form under its key and parsed again, gives the same tree (compared
// through their text, so that a NaN equals itself).
#include <string>

#include "fuzz_check.hpp"
#include "kestro/utils/toml_parser.hpp"
#include "kestro/utils/toml_value.hpp"
#include "kestro/utils/toml_write.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto doc = toml::parse(std::string(text));
  if (!doc) {
    (void)doc.error().message();
    return 0;
  }
  KESTRO_FUZZ_CHECK(doc->to_string() == text);
  for (toml::NodeId id = 0; id < doc->node_count(); ++id) (void)doc->key_path(id);

  // Each entry of the root alone, so that the written form nests no deeper
  // than the document did.
  for (const toml::Entry& entry : doc->entries(doc->root())) {
    auto tree = toml::to_value(*doc, entry.value);
    if (!tree) continue;
    const std::string inline_text = toml::write_inline(*tree);
    auto again = toml::parse(toml::write_key(entry.key) + " = " + inline_text + "\n");
    KESTRO_FUZZ_CHECK(again.has_value());
    auto tree_again = toml::to_value(*again, again->get(again->root(), entry.key));
    KESTRO_FUZZ_CHECK(tree_again.has_value());
    KESTRO_FUZZ_CHECK(toml::write_inline(*tree_again) == inline_text);
  }
  return 0;
}
