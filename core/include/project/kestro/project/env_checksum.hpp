// The checksum recorded with a project installed in an environment: the
// canonical checksum of a source tree, or the SHA-256 of a KPAR archive.
#pragma once

#include "kestro/project/namespace.hpp"

#include <string>

namespace kestro::project {

struct EnvProjectChecksum {
  enum class Kind {
    Src,   // written `src_cksum`
    Kpar,  // written `kpar_cksum`
  };
  Kind kind = Kind::Src;
  std::string hex;

  static EnvProjectChecksum src(std::string hex) { return {Kind::Src, std::move(hex)}; }
  static EnvProjectChecksum kpar(std::string hex) { return {Kind::Kpar, std::move(hex)}; }
  bool operator==(const EnvProjectChecksum&) const = default;
};

}  // namespace kestro::project
