// Projects read from a KPAR archive behind an http(s) URL: any URL
// (`RemoteKparProject`, with or without a known size and digest) and the
// archive of one version in an index (`IndexKparProject`, always known).
// Nothing is fetched on creation. The first operation that needs the
// content streams the archive into a private temporary directory while
// hashing and counting it, checks size and digest, finds the project root
// and keeps the result for the object's life; a failed download leaves no
// file behind and the next operation starts again. Used by one thread at a
// time; copies made after the download share it.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/auth/policy.hpp"
#include "kestro/http/client.hpp"
#include "kestro/project/local_kpar.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

// The log target of downloaded archives.
inline constexpr std::string_view kKparDownloadTarget = "kestro_core::project::kpar_download";

// `url` is always the archive's URL as configured, never a redirect target.
struct RemoteKparVariants {
  struct BadHttpStatus { std::string url; std::uint16_t status; };
  struct ParseUrl { std::string url; url::UrlError source; };
  struct Body { http::HttpError source; };
  struct Request { http::HttpError source; };
  struct KPar { LocalKparError err; };
  struct Io { FsIoError err; };
  struct DigestMismatch { std::string url; std::string expected; std::string actual; };
  struct SizeMismatch { std::uint64_t expected; std::uint64_t actual; std::string url; };
  struct EmptyKpar { std::string url; };
  // An archive of unknown size that grew past kMaxKparDownloadSize.
  struct TooLarge { std::string url; std::uint64_t limit; };
  using Sum = std::variant<BadHttpStatus, ParseUrl, Body, Request, KPar, Io, DigestMismatch, SizeMismatch, EmptyKpar,
                           TooLarge>;
};

class RemoteKparError : public ErrorSum<RemoteKparError, RemoteKparVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const BadHttpStatus& v);
  static std::string text_of(const ParseUrl& v);
  static std::string text_of(const Body& v);
  static std::string text_of(const Request& v);
  static std::string text_of(const KPar& v) { return v.err.message(); }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string text_of(const DigestMismatch& v);
  static std::string text_of(const SizeMismatch& v);
  static std::string text_of(const EmptyKpar& v);
  static std::string text_of(const TooLarge& v);
  static const Error* cause_of(const KPar& v) { return v.err.cause(); }
  static const Error* cause_of(const Io& v) { return v.err.cause(); }
};

// The archive `project.kpar` in its owning temporary directory, the
// project's directory inside it, and the archive's measured digest and size.
using DownloadedKpar = std::shared_ptr<const OpenedLocalKpar>;

// Opens a downloaded archive and finds its project root; the directory is
// taken over (and deleted with the result, or at once on failure).
std::expected<OpenedLocalKpar, LocalKparError> open_downloaded_kpar(OwnedTempDir dir, const fs::path& archive,
                                                                   std::string sha256, std::uint64_t size);

// The most an archive of unknown size may grow to while it downloads: far
// above any real project, far below filling a disk.
inline constexpr std::uint64_t kMaxKparDownloadSize = std::uint64_t{4} << 30;

// One download attempt, verified against `expected` when given; without
// it, more than `max_size` bytes stop the download with TooLarge.
std::expected<DownloadedKpar, RemoteKparError> download_kpar(const http::Client& client,
                                                             const auth::AuthPolicy& policy, const url::Url& url,
                                                             const std::optional<ExpectedArchive>& expected,
                                                             std::uint64_t max_size = kMaxKparDownloadSize);

// The download cell both kinds share, with the reads served from it.
class KparDownload {
 public:
  KparDownload(url::Url url, http::Client client, auth::AuthPolicy policy, std::optional<ExpectedArchive> expected)
      : url_(std::move(url)), client_(std::move(client)), policy_(std::move(policy)), expected_(std::move(expected)) {}

  const url::Url& url() const { return url_; }
  const http::Client& client() const { return client_; }
  const auth::AuthPolicy& policy() const { return policy_; }
  const std::optional<ExpectedArchive>& expected() const { return expected_; }

  std::expected<DownloadedKpar, RemoteKparError> ensure_downloaded() const;
  std::expected<ProjectRecords, RemoteKparError> get_project() const;
  std::expected<SourceReaderPtr, RemoteKparError> read_source(std::string_view path) const;
  // The expected digest when known, else the measured one.
  std::expected<EnvProjectChecksum, RemoteKparError> checksum_hex() const;

 private:
  url::Url url_;
  http::Client client_;
  auth::AuthPolicy policy_;
  std::optional<ExpectedArchive> expected_;
  mutable DownloadedKpar downloaded_;
};

class RemoteKparProject : public ReadProject<RemoteKparError> {
 public:
  // ParseUrl when `url` is no URL; makes no request.
  static std::expected<RemoteKparProject, RemoteKparError> create(std::string_view url, http::Client client,
                                                                  auth::AuthPolicy policy,
                                                                  std::optional<ExpectedArchive> expected = {});

  const url::Url& url() const { return download_.url(); }
  const std::optional<ExpectedArchive>& expected() const { return download_.expected(); }
  std::expected<DownloadedKpar, RemoteKparError> ensure_downloaded() const { return download_.ensure_downloaded(); }

  Result<ProjectRecords> get_project() const override { return download_.get_project(); }
  Result<SourceReaderPtr> read_source(std::string_view path) const override { return download_.read_source(path); }
  // One `remote_kpar` source: the expected size and digest with no request,
  // else the measured ones after the download.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  Result<EnvProjectChecksum> checksum_hex() const override { return download_.checksum_hex(); }

 private:
  explicit RemoteKparProject(KparDownload download) : download_(std::move(download)) {}
  KparDownload download_;
};

class IndexKparProject : public ReadProject<RemoteKparError> {
 public:
  // ParseUrl when `url` is no URL; makes no request. `kpar_digest` is 64
  // lower-case hex digits.
  static std::expected<IndexKparProject, RemoteKparError> create(std::string_view url, http::Client client,
                                                                 auth::AuthPolicy policy, std::uint64_t kpar_size,
                                                                 std::string kpar_digest);

  const url::Url& url() const { return download_.url(); }
  const http::Client& client() const { return download_.client(); }
  const auth::AuthPolicy& policy() const { return download_.policy(); }
  std::uint64_t kpar_size() const { return download_.expected()->size; }
  const std::string& kpar_digest() const { return download_.expected()->digest; }
  std::expected<DownloadedKpar, RemoteKparError> ensure_downloaded() const { return download_.ensure_downloaded(); }

  Result<ProjectRecords> get_project() const override { return download_.get_project(); }
  Result<SourceReaderPtr> read_source(std::string_view path) const override { return download_.read_source(path); }
  // One `index_kpar` source with the advertised size and digest; no request.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  // The advertised digest, after the download has verified it.
  Result<EnvProjectChecksum> checksum_hex() const override { return download_.checksum_hex(); }

 private:
  explicit IndexKparProject(KparDownload download) : download_(std::move(download)) {}
  KparDownload download_;
};

}  // namespace kestro::remote
