// URLs on any bytes, alone and against a base. An accepted URL's
// serialisation reads again to the same serialisation, and its components
// are pieces of it.
#include "fuzz_check.hpp"
#include "kestro/utils/url.hpp"

using namespace kestro;

namespace {

void check(const url::Url& u) {
  auto again = url::Url::parse(u.href());
  KESTRO_FUZZ_CHECK(again.has_value() && again->href() == u.href());
  KESTRO_FUZZ_CHECK(u.href().starts_with(u.scheme()));
  KESTRO_FUZZ_CHECK(u.href().find(u.path()) != std::string::npos);
  url::Url copy = u;
  copy.ensure_trailing_slash();
  const std::string_view segments[] = {"a b", "%2F", ".."};
  copy.append_path_segments(segments);
  auto appended = url::Url::parse(copy.href());
  KESTRO_FUZZ_CHECK(appended.has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  static const url::Url base = *url::Url::parse("https://user:pw@example.org:8443/a/b/c?q=1#f");
  static const url::Url file_base = *url::Url::parse("file:///C:/dir/file");
  for (const url::Url* b : {static_cast<const url::Url*>(nullptr), &base, &file_base}) {
    auto u = url::Url::parse(text, b);
    if (u)
      check(*u);
    else
      (void)u.error().message();
  }
  return 0;
}
