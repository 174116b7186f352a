// The JSON reader on any bytes: the neutral tree, written compact and
// pretty, reads back to the same tree. Passing over a value succeeds
// whenever reading it does.
#include "fuzz_check.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"

using namespace kestro;

namespace {

json::Result<json::Value> read_tree(std::string_view text) {
  return json::parse_document<json::Value>(text, [](json::Reader& r) { return r.read_value(); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto skipped = json::parse_document<void>(text, [](json::Reader& r) { return r.skip_value(); });
  if (auto tree = read_tree(text)) {
    KESTRO_FUZZ_CHECK(skipped.has_value());
    (void)json::normalized(*tree);
  }
  for (auto style : {json::Writer::Style::Compact, json::Writer::Style::Pretty})
    fuzz::check_round_trip(text, read_tree, [style](const json::Value& v) {
      json::Writer w(style);
      w.value(v);
      return w.take();
    });
  return 0;
}
