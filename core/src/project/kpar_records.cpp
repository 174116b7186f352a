// Reading the record documents of a KPAR archive.
#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

#include "kestro/project/kpar_records.hpp"
#include "kestro/utils/fs.hpp"

namespace kestro::project {

namespace {

// The largest record document read from an archive; a larger claim is
// refused before anything is inflated.
constexpr std::uint64_t kMaxRecordSize = 256 * 1024 * 1024;

template <typename T, typename Parse>
std::expected<std::optional<T>, LocalKparError> read_entry_record(const OpenedKpar& kpar,
                                                                   const zip::ZipArchive& archive,
                                                                   std::string_view document, Parse&& parse) {
  auto reader = open_kpar_entry(archive, kpar, document);
  if (!reader) {
    auto& [name, err] = reader.error();
    if (err.is_not_found()) return std::optional<T>();
    return std::unexpected(
        LocalKparError::Zip{ZipArchiveError::NamedFileMeta{name, std::move(err)}});
  }
  if (std::uint64_t size = reader->entry().size; size > kMaxRecordSize)
    return std::unexpected(LocalKparError::Deserialize{
        std::string(document),
        json::JsonError(fmt::format("the entry declares {} bytes, more than the {} bytes a project record may hold",
                                    size, kMaxRecordSize))});
  // Decompression and integrity failures surface while the record is read.
  auto bytes = reader->read_all();
  if (!bytes)
    return std::unexpected(
        LocalKparError::Deserialize{std::string(document), json::JsonError(bytes.error().message())});
  auto record = parse(*bytes);
  if (!record) return std::unexpected(LocalKparError::Deserialize{std::string(document), std::move(record.error())});
  return std::optional<T>(std::move(*record));
}

}  // namespace

std::expected<zip::ZipArchive, LocalKparError> read_kpar_archive(UniqueFd fd, const std::filesystem::path& path) {
  auto fail = [&](zip::ZipError err) {
    return std::unexpected(
        LocalKparError::Zip{ZipArchiveError::ReadArchive{display_path(path), std::move(err)}});
  };
  auto archive = zip::ZipArchive::from_fd(std::move(fd));
  if (!archive) return fail(std::move(archive.error()));
  if (archive->declared_size() > kMaxKparExpandedSize)
    return fail(zip::ZipError::unsupported(fmt::format("entries declare {} bytes in all, more than the limit of {} bytes",
                                                       archive->declared_size(), kMaxKparExpandedSize)));
  return std::move(*archive);
}

std::expected<zip::ZipArchive, LocalKparError> open_kpar_file(const OpenedKpar& kpar) {
  auto fd = open_fd(kpar.archive_path, O_RDONLY);
  if (!fd) return std::unexpected(LocalKparError::Io{FsIoError::OpenFile{kpar.archive_path, fd.error()}});
  return read_kpar_archive(std::move(*fd), kpar.archive_path);
}

std::string kpar_entry_name(const OpenedKpar& kpar, std::string_view document) {
  if (!kpar.root_prefix || kpar.root_prefix->empty()) return std::string(document);
  std::string name = *kpar.root_prefix;
  if (!name.ends_with('/')) name += '/';
  name += document;
  return name;
}

std::expected<zip::ZipEntryReader, std::pair<std::string, zip::ZipError>> open_kpar_entry(
    const zip::ZipArchive& archive, const OpenedKpar& kpar, std::string_view document) {
  std::string name = kpar_entry_name(kpar, document);
  auto reader = archive.open_entry(std::string_view(name));
  if (!reader) return std::unexpected(std::pair{std::move(name), std::move(reader.error())});
  return std::move(*reader);
}

std::expected<std::optional<InterchangeProjectInfoRaw>, LocalKparError> read_kpar_info_entry(
    const OpenedKpar& kpar, const zip::ZipArchive& archive) {
  return read_entry_record<InterchangeProjectInfoRaw>(kpar, archive, ".project.json", parse_project_info);
}

std::expected<std::optional<InterchangeProjectMetadataRaw>, LocalKparError> read_kpar_meta_entry(
    const OpenedKpar& kpar, const zip::ZipArchive& archive) {
  return read_entry_record<InterchangeProjectMetadataRaw>(kpar, archive, ".meta.json", parse_project_meta);
}

std::expected<ProjectRecords, LocalKparError> read_kpar_project_files(const OpenedKpar& kpar) {
  auto archive = open_kpar_file(kpar);
  if (!archive) return std::unexpected(std::move(archive.error()));
  auto info = read_kpar_info_entry(kpar, *archive);
  if (!info) return std::unexpected(std::move(info.error()));
  auto meta = read_kpar_meta_entry(kpar, *archive);
  if (!meta) return std::unexpected(std::move(meta.error()));
  return ProjectRecords{std::move(*info), std::move(*meta)};
}

std::expected<std::optional<InterchangeProjectInfoRaw>, LocalKparError> read_kpar_project_info(const OpenedKpar& kpar) {
  auto archive = open_kpar_file(kpar);
  if (!archive) return std::unexpected(std::move(archive.error()));
  return read_kpar_info_entry(kpar, *archive);
}

std::expected<std::optional<InterchangeProjectMetadataRaw>, LocalKparError> read_kpar_project_meta(
    const OpenedKpar& kpar) {
  auto archive = open_kpar_file(kpar);
  if (!archive) return std::unexpected(std::move(archive.error()));
  return read_kpar_meta_entry(kpar, *archive);
}

std::set<std::string> indexed_symbols_for_file(const OrderedMap<std::string>& index, std::string_view path) {
  std::set<std::string> symbols;
  for (const auto& [symbol, file] : index)
    if (file == path) symbols.insert(symbol);
  return symbols;
}

}  // namespace kestro::project
