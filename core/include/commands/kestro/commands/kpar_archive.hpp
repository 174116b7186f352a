// A KPAR archive opened to read the project inside it.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <string>

#include "kestro/project/project_error.hpp"
#include "kestro/utils/temp_dir.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::commands {

struct KparArchive {
  zip::ZipArchive archive;
  // The directory inside the archive that holds `.project.json` (`/`
  // separators); empty at the archive's top level.
  std::string project_dir;
  // A private working directory, removed with the value.
  OwnedTempDir work_dir;
};

// Opens the file as a zip archive and finds the project in it: the parent
// directory of the first entry, in archive order, whose last path component
// is `.project.json`. No such entry: the NotFound error naming
// `.project.json`. An unreadable file or archive, or a working directory
// that cannot be made, gives the archive error too.
std::expected<KparArchive, LocalKparError> open_kpar_archive(const std::filesystem::path& kpar_path);

}  // namespace kestro::commands
