// `.workspace.json` texts of any bytes: the reader either gives records or
// an error with a message.
#include "fuzz_check.hpp"
#include "kestro/env/workspace.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parsed = env::parse_workspace_json(fuzz::as_text(data, size));
  if (!parsed) (void)parsed.error().message();
  return 0;
}
