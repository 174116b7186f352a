// Qualified names on any bytes. Accepted segments, written back quoted (only
// `\` and `'` escaped) and joined by `::`, read as the same segments; a text
// without quotes is its segments joined by `::`. A refused text names a
// part of itself.
#include <string>
#include <vector>

#include "fuzz_check.hpp"
#include "kestro/modeler/qualified_name.hpp"

using namespace kestro;
using namespace kestro::modeler;

namespace {

std::string quoted(const std::string& segment) {
  std::string out = "'";
  for (const char c : segment) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  return out + "'";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  auto segments = parse_qualified_name_segments(text);
  if (!segments) {
    const QualifiedNameError& e = segments.error();
    (void)e.message();
    (void)e.debug();
    if (const auto* p = e.get_if<QualifiedNameError::NotPlainName>())
      KESTRO_FUZZ_CHECK(!p->segment.empty() && text.find(p->segment) != std::string_view::npos);
    if (const auto* p = e.get_if<QualifiedNameError::InvalidEscape>())
      KESTRO_FUZZ_CHECK(text.find("\\" + p->character) != std::string_view::npos);
    return 0;
  }
  KESTRO_FUZZ_CHECK(text.empty() == segments->empty());
  std::string written;
  std::string joined;
  for (std::size_t i = 0; i < segments->size(); ++i) {
    if (i > 0) {
      written += "::";
      joined += "::";
    }
    written += quoted((*segments)[i]);
    joined += (*segments)[i];
  }
  auto again = parse_qualified_name_segments(written);
  KESTRO_FUZZ_CHECK(again.has_value() && *again == *segments);
  if (text.find('\'') == std::string_view::npos) KESTRO_FUZZ_CHECK(joined == text);
  return 0;
}
