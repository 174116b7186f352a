// The archive file a build writes. Entries go, in the order they are added,
// into a temporary file beside the target; only a finished archive replaces
// the target, so a failed build leaves whatever was there before (nothing,
// or the previous archive) untouched.
#pragma once

#include "kestro/commands/namespace.hpp"

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

#include "kestro/commands/command_error.hpp"
#include "kestro/project/kpar_error.hpp"
#include "kestro/utils/calendar.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/zip_writer.hpp"

namespace kestro::commands {

class KparOutput {
 public:
  // Makes the temporary beside `output_path` (0666 before the umask); every
  // entry gets the compression, mode 0o100644 and `started` as its time.
  // Failure: Io with CreateFile naming the output path.
  static std::expected<KparOutput, KParBuildError> create(const std::filesystem::path& output_path,
                                                          project::KparCompression compression,
                                                          time::Timestamp started);

  // A name the archive cannot hold (or holds already) is Zip with Write
  // naming the entry; a failed write is Io with WriteFile naming the output.
  std::expected<void, KParBuildError> add(std::string name, std::string_view data);
  // Writes the central directory and renames the archive onto the target.
  std::expected<void, KParBuildError> finish() &&;

 private:
  KparOutput(AtomicFileWriter file, std::uint16_t method, zip::ZipWriteOptions options)
      : file_(std::move(file)), method_(method), writer_(options) {}
  std::expected<void, KParBuildError> flush();

  AtomicFileWriter file_;
  std::uint16_t method_;
  zip::ZipWriter writer_;
  std::string pending_;
};

}  // namespace kestro::commands
