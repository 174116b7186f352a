#include "kestro/project/checksum.hpp"

#include <array>

namespace kestro::project {

std::expected<Sha256Digest, IoError> hash_reader(SourceReader& reader) {
  Sha256 hash;
  std::array<char, 8192> buffer;
  for (;;) {
    auto n = reader.read(buffer);
    if (!n) return std::unexpected(std::move(n.error()));
    if (*n == 0) return hash.finish();
    hash.update(std::string_view(buffer.data(), *n));
  }
}

}  // namespace kestro::project
