// Where one locked project can be obtained again: exactly one of seven
// kinds, in their fixed order. Paths and URLs are held as written.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <string>
#include <variant>

namespace kestro::project {

// A project used in place from a local directory.
struct EditableSource {
  std::string editable;
  bool operator==(const EditableSource&) const = default;
};

// A local source directory and the project's canonical checksum.
struct LocalSrcSource {
  std::string src_path;
  std::string checksum;
  bool operator==(const LocalSrcSource&) const = default;
};

// A local KPAR archive with its size and SHA-256 digest.
struct LocalKparSource {
  std::string kpar_path;
  std::uint64_t kpar_size = 0;
  std::string kpar_digest;
  bool operator==(const LocalKparSource&) const = default;
};

// A KPAR archive at a URL.
struct RemoteKparSource {
  std::string remote_kpar;
  std::uint64_t kpar_size = 0;
  std::string kpar_digest;
  bool operator==(const RemoteKparSource&) const = default;
};

// A KPAR archive at a URL of a package index.
struct IndexKparSource {
  std::string index_kpar;
  std::uint64_t kpar_size = 0;
  std::string kpar_digest;
  bool operator==(const IndexKparSource&) const = default;
};

// A source tree under a base URL and the project's canonical checksum.
struct RemoteSrcSource {
  std::string remote_src;
  std::string checksum;
  bool operator==(const RemoteSrcSource&) const = default;
};

// A git repository.
struct RemoteGitSource {
  std::string remote_git;
  bool operator==(const RemoteGitSource&) const = default;
};

using Source = std::variant<EditableSource, LocalSrcSource, LocalKparSource, RemoteKparSource, IndexKparSource,
                            RemoteSrcSource, RemoteGitSource>;

}  // namespace kestro::project
