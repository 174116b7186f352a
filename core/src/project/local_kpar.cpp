// KPAR archives on the local file system: opening and verifying once,
// finding the project inside, and extracting entries into a private
// directory.
#include "kestro/project/local_kpar.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "kestro/project/paths.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/sha256.hpp"

namespace kestro::project {

namespace {

using Fail = std::unexpected<LocalKparError>;

LocalKparError io(FsIoError err) { return LocalKparError::Io{std::move(err)}; }

// The SHA-256 (lower-case hex) of everything left to read from `fd`; a
// failed read is ReadFile naming `path`. Reads are larger than the 8 KiB the
// hash needs at a time, which halves the system calls on large archives.
std::expected<std::string, LocalKparError> hash_fd(int fd, const fs::path& path) {
  Sha256 hash;
  std::array<char, 65536> buffer;
  for (;;) {
    ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(io(FsIoError::ReadFile{path, IoError::last()}));
    }
    if (n == 0) break;
    hash.update(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
  }
  return to_hex(hash.finish());
}

std::expected<std::uint64_t, LocalKparError> archive_size(const fs::path& path) {
  auto st = stat_file(path);
  if (!st) return Fail(io(FsIoError::Metadata{path, st.error()}));
  return static_cast<std::uint64_t>(st->st_size);
}

// The archive entry that holds project path `path`.
std::string entry_name_of(const OpenedKpar& kpar, std::string_view path) {
  if (path.starts_with('/') || !kpar.root_prefix) return std::string(path);
  if (path.empty()) return *kpar.root_prefix;
  return kpar_entry_name(kpar, path);
}

// Copies the entry's bytes into `out`; a failure to read the entry is
// WriteFile naming the extracted file, as it always was.
std::expected<void, LocalKparError> copy_entry(zip::ZipEntryReader& reader, AtomicFileWriter& out,
                                               const fs::path& target) {
  std::array<char, 65536> buffer;
  for (;;) {
    auto n = reader.read(buffer);
    if (!n) {
      IoError cause = n.error().io_error() ? *n.error().io_error() : IoError::custom(n.error().message());
      return Fail(io(FsIoError::WriteFile{target, std::move(cause)}));
    }
    if (*n == 0) return {};
    if (auto written = out.write(std::string_view(buffer.data(), *n)); !written)
      return Fail(io(std::move(written.error())));
  }
}

}  // namespace

// The directory of the first `.project.json` entry with a safe name, in the
// archive's index order: the empty text at the top level.
std::expected<std::string, LocalKparError> find_kpar_project_root(const zip::ZipArchive& archive) {
  constexpr std::string_view kInfo = ".project.json";
  for (const auto& entry : archive.entries()) {
    if (!entry.has_safe_name()) continue;
    std::string_view name = entry.name;
    auto slash = name.rfind('/');
    std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
    if (last != kInfo) continue;
    return std::string(slash == std::string_view::npos ? std::string_view() : name.substr(0, slash));
  }
  return Fail(LocalKparError::NotFound{std::string(kInfo)});
}

LocalKparProject::Result<std::shared_ptr<const OpenedLocalKpar>> LocalKparProject::open_archive() const {
  if (opened_) return opened_;
  auto size = archive_size(archive_path);
  if (!size) return Fail(std::move(size.error()));
  if (*size == 0) return Fail(LocalKparError::EmptyKpar{display_path(archive_path)});
  auto fd = open_fd(archive_path, O_RDONLY);
  if (!fd) return Fail(io(FsIoError::OpenFile{archive_path, fd.error()}));
  auto sha256 = hash_fd(fd->get(), archive_path);
  if (!sha256) return Fail(std::move(sha256.error()));

  std::optional<std::string> root_prefix;
  if (const auto* dir = std::get_if<std::string>(&archive_root)) {
    root_prefix = *dir;
  } else if (std::holds_alternative<ArchiveRootDetect>(archive_root)) {
    if (::lseek(fd->get(), 0, SEEK_SET) != 0)
      return Fail(io(FsIoError::Seek{archive_path, 0, IoError::last()}));
    auto archive = read_kpar_archive(std::move(*fd), archive_path);
    if (!archive) return Fail(std::move(archive.error()));
    auto detected = find_kpar_project_root(*archive);
    if (!detected) return Fail(std::move(detected.error()));
    root_prefix = std::move(*detected);
  }

  auto temp_dir = OwnedTempDir::create();
  if (!temp_dir) return Fail(io(std::move(temp_dir.error())));
  auto opened = std::make_shared<OpenedLocalKpar>(
      OpenedLocalKpar{OpenedKpar{archive_path, std::move(root_prefix), std::move(*sha256), *size},
                      std::move(*temp_dir)});

  if (expected_archive) {
    if (expected_archive->size != *size)
      return Fail(LocalKparError::SizeMismatch{display_path(archive_path), expected_archive->size, *size});
    if (expected_archive->digest != opened->archive.sha256)
      return Fail(LocalKparError::DigestMismatch{display_path(archive_path), expected_archive->digest,
                                                 opened->archive.sha256});
  }
  if (expected_name) {
    auto info = read_kpar_project_info(opened->archive);
    if (!info) return Fail(std::move(info.error()));
    if (!*info) return Fail(LocalKparError::MissingInfo{});
    if ((*info)->publisher != expected_publisher)
      return Fail(LocalKparError::PublisherMismatch{expected_publisher, (*info)->publisher});
    if ((*info)->name != *expected_name)
      return Fail(LocalKparError::NameMismatch{*expected_name, (*info)->name});
  }
  opened_ = std::move(opened);
  return opened_;
}

LocalKparProject::Result<std::filesystem::path> LocalKparProject::extract(const OpenedLocalKpar& opened,
                                                                         std::string_view path) {
  fs::path cache = opened.temp_dir.path() / sha256_hex(path);
  struct ::stat st;
  if (stat_path(cache, st) && S_ISREG(st.st_mode)) return cache;

  // Written under another name and renamed when complete, so that a copy
  // that fails part way is never taken for the extracted file.
  auto out = AtomicFileWriter::create(cache, ExistingFile::Replace, 0600, AtomicFileWriter::Durability::Scratch);
  if (!out) return Fail(io(std::move(out.error())));
  auto archive = open_kpar_file(opened.archive);
  if (!archive) return Fail(std::move(archive.error()));
  std::string name = entry_name_of(opened.archive, path);
  auto reader = archive->open_entry(std::string_view(name));
  if (!reader)
    return Fail(LocalKparError::Zip{
        ZipArchiveError::NamedFileMeta{std::move(name), std::move(reader.error())}});
  if (auto copied = copy_entry(*reader, *out, cache); !copied) return Fail(std::move(copied.error()));
  if (auto committed = std::move(*out).commit(); !committed) return Fail(io(std::move(committed.error())));
  return cache;
}

LocalKparProject::Result<ProjectRecords> LocalKparProject::get_project() const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  return read_kpar_project_files((*opened)->archive);
}

LocalKparProject::Result<std::optional<InterchangeProjectInfoRaw>> LocalKparProject::get_info() const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  return read_kpar_project_info((*opened)->archive);
}

LocalKparProject::Result<std::optional<InterchangeProjectMetadataRaw>> LocalKparProject::get_meta() const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  return read_kpar_project_meta((*opened)->archive);
}

LocalKparProject::Result<SourceReaderPtr> LocalKparProject::read_source(std::string_view path) const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  return read_extracted(**opened, path);
}

LocalKparProject::Result<SourceReaderPtr> LocalKparProject::read_extracted(const OpenedLocalKpar& opened,
                                                                          std::string_view path) {
  auto file = extract(opened, path);
  if (!file) return Fail(std::move(file.error()));
  auto reader = FileSourceReader::open(*file);
  if (!reader) return Fail(io(std::move(reader.error())));
  return SourceReaderPtr(std::move(*reader));
}

LocalKparProject::Result<std::vector<Source>> LocalKparProject::sources(const ProjectContext& context) const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  auto kpar_path = lock_source_path(nominal_path, archive_path, context, "LocalKparProject");
  if (!kpar_path) return Fail(LocalKparError::ImpossibleRelativePath{std::move(kpar_path.error())});
  return std::vector<Source>{LocalKparSource{std::move(*kpar_path), (*opened)->archive.size, (*opened)->archive.sha256}};
}

LocalKparProject::Result<EnvProjectChecksum> LocalKparProject::checksum_hex() const {
  auto opened = open_archive();
  if (!opened) return Fail(std::move(opened.error()));
  return EnvProjectChecksum::kpar((*opened)->archive.sha256);
}

std::expected<std::string, LocalKparError> kpar_file_sha256(const std::filesystem::path& path) {
  auto fd = open_fd(path, O_RDONLY);
  if (!fd) return Fail(io(FsIoError::OpenFile{path, fd.error()}));
  return hash_fd(fd->get(), path);
}

std::expected<std::uint64_t, LocalKparError> kpar_file_size(const std::filesystem::path& path) {
  return archive_size(path);
}

// The local path kinds: each operation of the kind held, its error converted.

namespace {

template <typename T>
using PathResult = std::expected<T, LocalPathProjectError>;

// The kind held answers; a source directory's error is converted by
// `from_src`, an archive's variant by variant.
template <typename T, typename Op>
PathResult<T> dispatch(const LocalPathProject::Kind& kind, LocalPathProjectError (*from_src)(LocalSrcError),
                       Op&& op) {
  if (const auto* src = std::get_if<LocalSrcProject>(&kind)) {
    auto r = op(*src);
    if (!r) return std::unexpected(from_src(std::move(r.error())));
    return std::move(*r);
  }
  auto r = op(std::get<LocalKparProject>(kind));
  if (!r) return std::unexpected(LocalPathProjectError::from_kpar(r.error()));
  return std::move(*r);
}

}  // namespace

LocalPathProject::Result<ProjectRecords> LocalPathProject::get_project() const {
  return dispatch<ProjectRecords>(kind, LocalPathProjectError::from_src_read,
                                  [](const auto& p) { return p.get_project(); });
}

LocalPathProject::Result<SourceReaderPtr> LocalPathProject::read_source(std::string_view path) const {
  return dispatch<SourceReaderPtr>(kind, LocalPathProjectError::from_src_read,
                                   [&](const auto& p) { return p.read_source(path); });
}

LocalPathProject::Result<std::vector<Source>> LocalPathProject::sources(const ProjectContext& context) const {
  return dispatch<std::vector<Source>>(kind, LocalPathProjectError::from_src, [&](const auto& p) { return p.sources(context); });
}

LocalPathProject::Result<EnvProjectChecksum> LocalPathProject::checksum_hex() const {
  return dispatch<EnvProjectChecksum>(kind, LocalPathProjectError::from_src, [](const auto& p) { return p.checksum_hex(); });
}

}  // namespace kestro::project
