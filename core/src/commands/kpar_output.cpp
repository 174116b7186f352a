#include "kestro/commands/kpar_output.hpp"

#include <utility>

namespace kestro::commands {

namespace {

// Encoded entries are handed to the file in runs of about this size.
constexpr std::size_t kFlushSize = 1 << 20;

}  // namespace

std::expected<KparOutput, KParBuildError> KparOutput::create(const std::filesystem::path& output_path,
                                                             project::KparCompression compression,
                                                             time::Timestamp started) {
  auto file = AtomicFileWriter::create(output_path);
  if (!file) return std::unexpected(KParBuildError::Io{std::move(file.error())});
  std::uint16_t method =
      compression == project::KparCompression::Stored ? zip::kMethodStored : zip::kMethodDeflated;
  return KparOutput(std::move(*file), method, zip::ZipWriteOptions{.modified = zip::dos_date_time(time::to_civil_utc(started))});
}

std::expected<void, KParBuildError> KparOutput::add(std::string name, std::string_view data) {
  std::string entry_name = name;
  auto added = writer_.add(std::move(name), data, method_, pending_);
  if (!added) {
    return std::unexpected(KParBuildError::Zip{
        project::ZipArchiveError::Write{std::move(entry_name), std::move(added.error())}});
  }
  if (pending_.size() >= kFlushSize) return flush();
  return {};
}

std::expected<void, KParBuildError> KparOutput::flush() {
  auto written = file_.write(pending_);
  pending_.clear();
  if (!written) return std::unexpected(KParBuildError::Io{std::move(written.error())});
  return {};
}

std::expected<void, KParBuildError> KparOutput::finish() && {
  writer_.finish(pending_);
  if (auto flushed = flush(); !flushed) return flushed;
  auto committed = std::move(file_).commit();
  if (!committed) return std::unexpected(KParBuildError::Io{std::move(committed.error())});
  return {};
}

}  // namespace kestro::commands
