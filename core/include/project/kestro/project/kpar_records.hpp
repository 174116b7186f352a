// Projects stored as KPAR (zip) archives: the opened-archive state and the
// readers of the two record documents inside an archive.
#pragma once

#include "kestro/project/namespace.hpp"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "kestro/model/records.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::project {

// What a KPAR project keeps once its archive is opened: the archive file and
// the directory inside it that holds the project.
struct OpenedKpar {
  std::filesystem::path archive_path;
  // The project's directory inside the archive (`/` separators); none or
  // empty: the top level.
  std::optional<std::string> root_prefix;
  // SHA-256 (lower-case hex) and size of the whole archive file.
  std::string sha256;
  std::uint64_t size = 0;
};

// The most a KPAR's entries may declare in all, uncompressed: an archive
// that would expand past it is refused before anything is extracted.
inline constexpr std::uint64_t kMaxKparExpandedSize = std::uint64_t{16} << 30;

// The archive at `path` read from `fd`: Zip (ReadArchive naming `path`) when
// it is no readable zip archive, its entries overlap or they declare more
// than kMaxKparExpandedSize.
std::expected<zip::ZipArchive, LocalKparError> read_kpar_archive(UniqueFd fd, const std::filesystem::path& path);

// The archive, open for reading entries. Fails with Io (OpenFile, the
// archive path) or as read_kpar_archive.
std::expected<zip::ZipArchive, LocalKparError> open_kpar_file(const OpenedKpar& kpar);

// The entry name of a document: the root prefix joined with `/`, or the bare
// name at the top level.
std::string kpar_entry_name(const OpenedKpar& kpar, std::string_view document);

// A reader of one document's bytes, or the entry name with the zip error.
std::expected<zip::ZipEntryReader, std::pair<std::string, zip::ZipError>> open_kpar_entry(
    const zip::ZipArchive& archive, const OpenedKpar& kpar, std::string_view document);

// One record; none when the archive has no entry of that exact name.
std::expected<std::optional<InterchangeProjectInfoRaw>, LocalKparError> read_kpar_info_entry(
    const OpenedKpar& kpar, const zip::ZipArchive& archive);
std::expected<std::optional<InterchangeProjectMetadataRaw>, LocalKparError> read_kpar_meta_entry(
    const OpenedKpar& kpar, const zip::ZipArchive& archive);

// Both records (no name or publisher check here), or one, each from a fresh
// opening of the archive.
std::expected<ProjectRecords, LocalKparError> read_kpar_project_files(const OpenedKpar& kpar);
std::expected<std::optional<InterchangeProjectInfoRaw>, LocalKparError> read_kpar_project_info(const OpenedKpar& kpar);
std::expected<std::optional<InterchangeProjectMetadataRaw>, LocalKparError> read_kpar_project_meta(
    const OpenedKpar& kpar);

// The symbols that an `index` maps to exactly `path`.
std::set<std::string> indexed_symbols_for_file(const OrderedMap<std::string>& index, std::string_view path);

}  // namespace kestro::project
