// What the local index commands share: the test of the index root, the
// paths of the list files, and wrapping a command's error with its note.
#pragma once

#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "kestro/index/index_error.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/fs_error.hpp"

namespace kestro::commands {

inline constexpr const char* kIndexJson = "index.json";
inline constexpr const char* kVersionsJson = "versions.json";

// Whether the index root is a directory; false when it is absent or
// something else. A failed test other than absence is IsDir.
std::expected<bool, FsIoError> is_index_root(const std::filesystem::path& root);

// The command's error as the index commands return it.
template <typename E>
index::IndexError index_error(E err, std::optional<std::string> suggestion = std::nullopt) {
  return index::IndexError(make_error<E>(std::move(err)), std::move(suggestion));
}

}  // namespace kestro::commands
