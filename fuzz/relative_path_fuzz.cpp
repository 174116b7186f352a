// Project-relative paths on any bytes, under each kind of path. An
// accepted path is handed back as the caller's own text; a file path never
// ends in `/`, and the project kinds never hold a `..` component.
#include "fuzz_check.hpp"
#include "kestro/model/relative_path.hpp"

using namespace kestro;
using namespace kestro::model;

namespace {

bool has_component(std::string_view path, std::string_view name) {
  for (std::size_t start = 0;;) {
    const std::size_t end = path.find('/', start);
    if (path.substr(start, end - start) == name) return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path = fuzz::as_text(data, size);
  for (auto kind : {RelativePathKind::ProjectFile, RelativePathKind::RelativeFile, RelativePathKind::ProjectDirectory,
                    RelativePathKind::RelativeDirectory}) {
    auto ok = validate_relative_path(path, kind);
    if (!ok) {
      (void)ok.error().message();
      (void)ok.error().debug();
      continue;
    }
    KESTRO_FUZZ_CHECK(ok->data() == path.data() && ok->size() == path.size());
    KESTRO_FUZZ_CHECK(path.find('\0') == std::string_view::npos && path.find('\\') == std::string_view::npos);
    const bool file = kind == RelativePathKind::ProjectFile || kind == RelativePathKind::RelativeFile;
    if (file) KESTRO_FUZZ_CHECK(path.back() != '/');
    const bool project = kind == RelativePathKind::ProjectFile || kind == RelativePathKind::ProjectDirectory;
    if (project) KESTRO_FUZZ_CHECK(!has_component(path, ".."));
  }
  return 0;
}
