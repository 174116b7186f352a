// Downloading, verifying and reading KPAR archives behind http(s) URLs.
#include "kestro/remote/kpar_download.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "kestro/auth/send_with_credentials.hpp"
#include "kestro/project/kpar_records.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/http_status.hpp"
#include "kestro/utils/sha256.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::remote {

// Every URL is shown with its userinfo redacted.
std::string RemoteKparError::text_of(const BadHttpStatus& v) {
  return fmt::format("HTTP request to `{}` returned status {}", kestro::url::redact_url_userinfo(v.url), http_status_text(v.status));
}
std::string RemoteKparError::text_of(const ParseUrl& v) {
  return fmt::format("failed to parse URL `{}`: {}", kestro::url::redact_url_userinfo(v.url), v.source.message());
}
std::string RemoteKparError::text_of(const Body& v) {
  return "error making an HTTP request:\n" + render_error_chain(v.source);
}
std::string RemoteKparError::text_of(const Request& v) {
  return "error making an HTTP request:\n" + render_error_chain(v.source);
}
std::string RemoteKparError::text_of(const DigestMismatch& v) {
  return fmt::format("kpar at `{}` has sha256 `{}` but the expected digest was `{}`", kestro::url::redact_url_userinfo(v.url), v.actual, v.expected);
}
std::string RemoteKparError::text_of(const SizeMismatch& v) {
  return fmt::format("kpar at `{}` has size {} bytes but the expected size was {} bytes", kestro::url::redact_url_userinfo(v.url), v.actual, v.expected);
}
std::string RemoteKparError::text_of(const EmptyKpar& v) { return fmt::format("kpar at `{}` is an empty file", kestro::url::redact_url_userinfo(v.url)); }
std::string RemoteKparError::text_of(const TooLarge& v) {
  return fmt::format("kpar at `{}` is larger than the limit of {} bytes for an archive of unknown size",
                     kestro::url::redact_url_userinfo(v.url), v.limit);
}

namespace {

using Fail = std::unexpected<RemoteKparError>;

std::optional<std::uint64_t> declared_length(const http::Response& response) {
  auto text = response.header("Content-Length");
  if (!text) return std::nullopt;
  std::uint64_t n = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), n);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return n;
}

// Hashes and writes the archive on a thread of its own while the next bytes
// are received, in blocks large enough for few system calls. At most a few
// blocks wait: a disk slower than the network holds the download back.
class HashingWriter {
 public:
  explicit HashingWriter(AtomicFileWriter& out) : out_(out), thread_([this] { run(); }) {
    filling_.reserve(kBlock);
  }
  HashingWriter(const HashingWriter&) = delete;
  HashingWriter& operator=(const HashingWriter&) = delete;
  ~HashingWriter() { stop(); }

  // Takes `bytes`; false once a write has failed (finish tells how).
  bool add(std::string_view bytes) {
    filling_ += bytes;
    return filling_.size() < kBlock || hand_over();
  }

  // The lower-case hex digest of everything added, or the first failure to
  // write it.
  std::expected<std::string, FsIoError> finish() {
    if (!filling_.empty()) hand_over();
    stop();
    if (error_) return std::unexpected(std::move(*error_));
    return to_hex(hash_.finish());
  }

 private:
  static constexpr std::size_t kBlock = std::size_t{4} << 20;
  static constexpr std::size_t kMaxWaiting = 3;

  bool hand_over() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kMaxWaiting || error_; });
    if (error_) return false;
    waiting_.push_back(std::move(filling_));
    filling_.clear();
    if (!spare_.empty()) {
      filling_ = std::move(spare_.back());
      spare_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
    filling_.reserve(kBlock);
    return true;
  }

  void run() {
    for (;;) {
      std::string block;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !waiting_.empty() || closing_; });
        if (waiting_.empty()) return;
        block = std::move(waiting_.front());
        waiting_.pop_front();
      }
      changed_.notify_all();
      hash_.update(block);
      auto written = out_.write(block);
      block.clear();
      {
        std::lock_guard lock(mutex_);
        if (!written && !error_) error_ = std::move(written.error());
        spare_.push_back(std::move(block));
      }
      changed_.notify_all();
    }
  }

  void stop() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  AtomicFileWriter& out_;
  Sha256 hash_;
  std::string filling_;  // the block being gathered, on the receiving thread
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> waiting_;  // handed over, not yet written
  std::vector<std::string> spare_;   // written blocks, to be filled again
  bool closing_ = false;
  std::optional<FsIoError> error_;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace

std::expected<OpenedLocalKpar, LocalKparError> open_downloaded_kpar(OwnedTempDir dir, const fs::path& archive,
                                                                   std::string sha256, std::uint64_t size) {
  auto fd = open_fd(archive, O_RDONLY | O_CLOEXEC);
  if (!fd) return std::unexpected(LocalKparError::Io{FsIoError::OpenFile{archive, fd.error()}});
  auto zip = read_kpar_archive(std::move(*fd), archive);
  if (!zip) return std::unexpected(std::move(zip.error()));
  auto root = find_kpar_project_root(*zip);
  if (!root) return std::unexpected(std::move(root.error()));
  return OpenedLocalKpar{OpenedKpar{archive, std::move(*root), std::move(sha256), size}, std::move(dir)};
}

std::expected<DownloadedKpar, RemoteKparError> download_kpar(const http::Client& client,
                                                             const auth::AuthPolicy& policy, const url::Url& url,
                                                             const std::optional<ExpectedArchive>& expected,
                                                             std::uint64_t max_size) {
  auto response = auth::send_with_credentials(policy, auth::RequestVariant::KparArchive, url, client);
  if (!response) return Fail(RemoteKparError::Request{std::move(response.error())});
  std::uint16_t status = response->status();
  if (!http::is_success(status)) return Fail(RemoteKparError::BadHttpStatus{url.href(), status});
  if (auto declared = declared_length(*response)) {
    if (expected && *declared != expected->size)
      return Fail(RemoteKparError::SizeMismatch{expected->size, *declared, url.href()});
    if (!expected && *declared > max_size) return Fail(RemoteKparError::TooLarge{url.href(), max_size});
  }

  // From here on every failure drops the directory with all its contents.
  auto dir = OwnedTempDir::create();
  if (!dir) return Fail(RemoteKparError::Io{std::move(dir.error())});
  fs::path archive = dir->path() / "project.kpar";
  auto out = AtomicFileWriter::create(archive, ExistingFile::Replace, 0600);
  if (!out) return Fail(RemoteKparError::Io{std::move(out.error())});

  // Hashed and written while it arrives; an archive with no expected size
  // may not grow past the fixed bound.
  const std::uint64_t limit = expected ? expected->size : max_size;
  std::uint64_t count = 0;
  HashingWriter writer(*out);
  auto write_failed = [&] { return Fail(RemoteKparError::Io{std::move(writer.finish().error())}); };
  for (;;) {
    auto piece = response->next_piece();
    if (!piece) return Fail(RemoteKparError::Body{std::move(piece.error())});
    if (piece->end) break;
    count += piece->bytes.size();
    if (count > limit) {
      if (expected) return Fail(RemoteKparError::SizeMismatch{expected->size, count, url.href()});
      return Fail(RemoteKparError::TooLarge{url.href(), max_size});
    }
    if (!writer.add(piece->bytes)) return write_failed();
  }
  if (count == 0) return Fail(RemoteKparError::EmptyKpar{url.href()});
  if (expected && count != expected->size) return Fail(RemoteKparError::SizeMismatch{expected->size, count, url.href()});
  auto hashed = writer.finish();
  if (!hashed) return Fail(RemoteKparError::Io{std::move(hashed.error())});
  std::string digest = std::move(*hashed);
  if (expected && digest != expected->digest)
    return Fail(RemoteKparError::DigestMismatch{url.href(), expected->digest, std::move(digest)});
  if (auto committed = std::move(*out).commit(); !committed)
    return Fail(RemoteKparError::Io{std::move(committed.error())});
  auto opened = open_downloaded_kpar(std::move(*dir), archive, std::move(digest), count);
  if (!opened) return Fail(RemoteKparError::KPar{std::move(opened.error())});
  return std::make_shared<const OpenedLocalKpar>(std::move(*opened));
}

std::expected<DownloadedKpar, RemoteKparError> KparDownload::ensure_downloaded() const {
  if (!downloaded_) {
    auto fresh = download_kpar(client_, policy_, url_, expected_);
    if (!fresh) return Fail(std::move(fresh.error()));
    downloaded_ = std::move(*fresh);
  }
  return downloaded_;
}

std::expected<ProjectRecords, RemoteKparError> KparDownload::get_project() const {
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  auto records = read_kpar_project_files((*kpar)->archive);
  if (!records) return Fail(RemoteKparError::KPar{std::move(records.error())});
  return std::move(*records);
}

std::expected<SourceReaderPtr, RemoteKparError> KparDownload::read_source(std::string_view path) const {
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  auto reader = LocalKparProject::read_extracted(**kpar, path);
  if (!reader) return Fail(RemoteKparError::KPar{std::move(reader.error())});
  return std::move(*reader);
}

std::expected<EnvProjectChecksum, RemoteKparError> KparDownload::checksum_hex() const {
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  return EnvProjectChecksum::kpar(expected_ ? expected_->digest : (*kpar)->archive.sha256);
}

std::expected<RemoteKparProject, RemoteKparError> RemoteKparProject::create(std::string_view url, http::Client client,
                                                                            auth::AuthPolicy policy,
                                                                            std::optional<ExpectedArchive> expected) {
  auto parsed = url::Url::parse(url);
  if (!parsed) return Fail(RemoteKparError::ParseUrl{std::string(url), parsed.error()});
  return RemoteKparProject(KparDownload(std::move(*parsed), std::move(client), std::move(policy), std::move(expected)));
}

RemoteKparProject::Result<std::vector<Source>> RemoteKparProject::sources(const ProjectContext&) const {
  if (const auto& known = expected())
    return std::vector<Source>{RemoteKparSource{url().href(), known->size, known->digest}};
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  return std::vector<Source>{RemoteKparSource{url().href(), (*kpar)->archive.size, (*kpar)->archive.sha256}};
}

RemoteKparProject::Result<std::optional<InterchangeProjectInfoRaw>> RemoteKparProject::get_info() const {
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  auto info = read_kpar_project_info((*kpar)->archive);
  if (!info) return Fail(RemoteKparError::KPar{std::move(info.error())});
  return std::move(*info);
}

RemoteKparProject::Result<std::optional<InterchangeProjectMetadataRaw>> RemoteKparProject::get_meta() const {
  auto kpar = ensure_downloaded();
  if (!kpar) return Fail(std::move(kpar.error()));
  auto meta = read_kpar_project_meta((*kpar)->archive);
  if (!meta) return Fail(RemoteKparError::KPar{std::move(meta.error())});
  return std::move(*meta);
}

std::expected<IndexKparProject, RemoteKparError> IndexKparProject::create(std::string_view url, http::Client client,
                                                                          auth::AuthPolicy policy,
                                                                          std::uint64_t kpar_size,
                                                                          std::string kpar_digest) {
  auto parsed = url::Url::parse(url);
  if (!parsed) return Fail(RemoteKparError::ParseUrl{std::string(url), parsed.error()});
  return IndexKparProject(KparDownload(std::move(*parsed), std::move(client), std::move(policy),
                                       ExpectedArchive{std::move(kpar_digest), kpar_size}));
}

IndexKparProject::Result<std::vector<Source>> IndexKparProject::sources(const ProjectContext&) const {
  return std::vector<Source>{IndexKparSource{url().href(), kpar_size(), kpar_digest()}};
}

}  // namespace kestro::remote
