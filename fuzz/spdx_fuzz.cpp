// SPDX licence expressions on any bytes. A refused expression reports a
// span inside the text (or at its end); an accepted one names at least one
// licence, and its licence file names are unique and drawn from its
// requirements.
#include <algorithm>

#include "fuzz_check.hpp"
#include "kestro/utils/spdx.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto parsed = spdx::parse_expression(text);
  if (!parsed) {
    KESTRO_FUZZ_CHECK(parsed.error().offset() + parsed.error().length() <= text.size());
    KESTRO_FUZZ_CHECK(parsed.error().message().starts_with(text));
    return 0;
  }
  KESTRO_FUZZ_CHECK(!parsed->requirements.empty());
  auto names = spdx::licence_file_names(*parsed);
  for (std::size_t i = 0; i < names.size(); ++i) {
    KESTRO_FUZZ_CHECK(std::count(names.begin(), names.end(), names[i]) == 1);
    KESTRO_FUZZ_CHECK(text.find(names[i]) != std::string_view::npos);
  }
  return 0;
}
