// Versions and requirements on any bytes. A version is strict, so it
// prints as written; a requirement printed and read again is the same
// requirement. When the input holds a line feed, the text before it and the
// text after it are also read as two versions, whose order must be
// consistent both ways, and as a version matched against a requirement.
#include "fuzz_check.hpp"
#include "kestro/utils/semver.hpp"

using namespace kestro;

namespace {

void check_version(std::string_view text) {
  auto v = semver::Version::parse(text);
  if (!v) {
    (void)v.error().message();
    return;
  }
  KESTRO_FUZZ_CHECK(v->to_string() == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::as_text(data, size);
  check_version(text);
  fuzz::check_round_trip(text, semver::VersionReq::parse, [](const semver::VersionReq& r) { return r.to_string(); });

  const std::size_t cut = text.find('\n');
  if (cut == std::string_view::npos) return 0;
  const std::string_view left = text.substr(0, cut), right = text.substr(cut + 1);
  auto a = semver::Version::parse(left);
  if (!a) return 0;
  if (auto b = semver::Version::parse(right)) {
    KESTRO_FUZZ_CHECK((*a <=> *b) == (0 <=> (*b <=> *a)));
    KESTRO_FUZZ_CHECK((*a == *b) == ((*a <=> *b) == 0));
    KESTRO_FUZZ_CHECK(semver::compare_precedence(*a, *b) == (0 <=> semver::compare_precedence(*b, *a)));
  }
  if (auto req = semver::VersionReq::parse(right)) {
    const bool all = req->matches(*a);
    bool each = true;
    for (const auto& c : req->comparators) each = each && c.matches(*a);
    // The pre-release rule only narrows what the comparators accept.
    KESTRO_FUZZ_CHECK(!all || each);
  }
  return 0;
}
