// File reading and the one atomic-write helper of the package manager.
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include <sys/stat.h>

#include "kestro/utils/fs_error.hpp"

namespace kestro {

// open(2) on a path. A path holding a NUL byte is refused (the system call
// would stop at the NUL and open another file).
std::expected<int, IoError> open_fd(const fs::path& path, int flags, unsigned mode = 0);

// stat(2) following links; a NUL in the path is refused like in open_fd.
std::expected<struct ::stat, IoError> stat_file(const fs::path& path);
// The same where only success matters: false on any failure.
bool stat_path(const fs::path& path, struct ::stat& st);

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
