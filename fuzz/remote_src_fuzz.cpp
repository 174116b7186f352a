// Untrusted input of remote source trees: record bodies decoded by their
// declared character set always give valid UTF-8, and a file name accepted
// as a remote path always resolves to a URL inside the project's tree on
// the project's own host.
#include <array>

#include "fuzz_check.hpp"
#include "kestro/remote/remote_src.hpp"

using namespace kestro;

namespace {

bool valid_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
    i += n;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static constexpr std::array<const char*, 6> kTypes = {
      "", "application/json", "text/plain; charset=windows-1252", "application/json;charset=\"UTF-16LE\"",
      "text/plain; charset=shift_jis", "text/plain; charset=bogus"};
  if (size == 0) return 0;
  const std::string_view input = fuzz::as_text(data + 1, size - 1);
  const std::string_view type = kTypes[data[0] % kTypes.size()];
  const auto content_type = type.empty() ? std::nullopt : std::optional<std::string_view>(type);
  const std::string decoded = remote::decode_body_text(input, content_type);
  KESTRO_FUZZ_CHECK(valid_utf8(decoded));
  // A body handed over whole decodes as a borrowed one does.
  KESTRO_FUZZ_CHECK(remote::decode_body_text(std::string(input), content_type) == decoded);

  static const url::Url base = url::Url::parse("http://host.example/p/").value();
  if (!remote::check_remote_path(input)) return 0;
  auto joined = base.join(input);
  if (!joined) return 0;
  KESTRO_FUZZ_CHECK(joined->scheme() == "http");
  KESTRO_FUZZ_CHECK(joined->host() == "host.example");
  KESTRO_FUZZ_CHECK(joined->path().starts_with("/p/"));
  return 0;
}
