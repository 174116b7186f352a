// File reading and the one atomic-write helper of the package manager.
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "kestro/fs_error.hpp"

namespace kestro {

// The whole content of a file. Fails with OpenFile or ReadFile.
std::expected<std::string, FsIoError> read_file(const fs::path& path);

// The whole content of a file as UTF-8 text. Every failure, opening
// included, is ReadFile; content that is not valid UTF-8 fails with the I/O
// text "stream did not contain valid UTF-8".
std::expected<std::string, FsIoError> read_utf8_file(const fs::path& path);

// The whole content of an open descriptor (no path known for messages).
std::expected<std::string, IoError> read_fd(int fd);

// Writes `bytes` to a temporary file beside `target` and renames it into
// place, so that `target` holds either its previous content or the new one,
// never a part. A new file gets mode 0666 & ~umask; a replaced file keeps its
// mode. Fails with CreateFile (the temporary could not be made) or WriteFile
// (writing or renaming failed), naming `target`; the temporary is removed.
std::expected<void, FsIoError> write_file_atomic(const fs::path& target, std::string_view bytes);

}  // namespace kestro
