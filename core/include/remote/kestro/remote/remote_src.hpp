// A project read over HTTP(S) straight from a published directory tree: its
// two records and each of its files are fetched by GET from the name
// resolved against the project's base URL. Nothing is kept between calls and
// nothing is written to disk.
//
// The records are untrusted: a file name taken from `.meta.json` must be a
// safe project-relative path before it is joined to the base URL, so that no
// request leaves the project's tree or goes to another host.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/auth/policy.hpp"
#include "kestro/http/body_text.hpp"
#include "kestro/http/client.hpp"
#include "kestro/http/http_error.hpp"
#include "kestro/model/relative_path.hpp"
#include "kestro/project/project_error.hpp"
#include "kestro/project/read_project.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

struct RemoteSrcVariants : ProjectErrorShapes {
  // No response was obtained.
  struct HttpRequest {
    http::HttpError err;
  };
  // The body of a record broke off.
  struct HttpBody {
    http::HttpError err;
  };
  // A record body that is no JSON document of the record's type; `url` is
  // the requested one.
  struct Deserialize {
    std::string url;
    json::JsonError err;
  };
  // A file answered with a status outside 200..299; `url` is the final one.
  struct BadStatus {
    std::string url;
    std::uint16_t status;
  };
  // A file name that is not a safe project-relative path.
  struct UnsafePath {
    RelativePathError err;
  };
  // A name that does not resolve against the base URL.
  struct InternalUrl {
    std::string name;
    url::UrlError err;
  };
  using Sum = std::variant<HttpRequest, HttpBody, Deserialize, BadStatus, MissingInfoMeta, Io, UnsafePath, InternalUrl>;

  using ProjectErrorShapes::debug_of;
  using ProjectErrorShapes::text_of;
  static std::string text_of(const HttpRequest& v);
  static std::string text_of(const HttpBody& v);
  static std::string text_of(const Deserialize& v);
  static std::string text_of(const BadStatus& v);
  static std::string text_of(const UnsafePath& v) { return v.err.message(); }
  static std::string text_of(const InternalUrl&) { return "internal URL error"; }
  static std::string debug_of(const HttpRequest& v) { return "HttpRequest(" + v.err.debug() + ")"; }
  static std::string debug_of(const HttpBody& v) { return "HttpBody(" + v.err.debug() + ")"; }
  static std::string debug_of(const Deserialize& v);
  static std::string debug_of(const BadStatus& v);
  static std::string debug_of(const UnsafePath& v) { return "UnsafePath(" + v.err.debug() + ")"; }
  static std::string debug_of(const InternalUrl& v);
};
class RemoteSrcError : public ErrorSum<RemoteSrcError, RemoteSrcVariants> {
 public:
  using ErrorSum::ErrorSum;
};

// Accepts a file name of a remote tree, or refuses it with the relative-path
// error: everything `validate_relative_path` refuses for a project file,
// plus a leading scheme (`https:host/x`, `C:x`; shown as absolute) and the
// percent-encoded dot segments (`%2e`, `%2e%2e`, any case) that URL
// resolution treats as `.` and `..`.
std::expected<void, RelativePathError> check_remote_path(std::string_view path);

class RemoteSrcProject : public ReadProject<RemoteSrcError> {
 public:
  RemoteSrcProject(url::Url base_url, std::optional<std::string> known_checksum, http::Client client,
                   AuthPolicy auth_policy)
      : base_url_(std::move(base_url)),
        known_checksum_(std::move(known_checksum)),
        client_(std::move(client)),
        auth_policy_(std::move(auth_policy)) {}

  const url::Url& base_url() const { return base_url_; }
  const std::optional<std::string>& known_checksum() const { return known_checksum_; }

  // Both records, fetched at the same time; the information record's failure
  // is reported first. An absent record (any status outside 2xx) is no error.
  Result<ProjectRecords> get_project() const override;
  // The file's body as it arrives; BadStatus names the final URL.
  Result<SourceReaderPtr> read_source(std::string_view path) const override;
  // One `remote_src` source: the known checksum, or the computed one.
  Result<std::vector<Source>> sources(const ProjectContext& context) const override;
  Result<std::optional<InterchangeProjectInfoRaw>> get_info() const override;
  Result<std::optional<InterchangeProjectMetadataRaw>> get_meta() const override;
  // Tests for both records before requesting any file.
  std::expected<std::optional<std::string>, CanonicalizationError<RemoteSrcError>> checksum_canonical_hex()
      const override;
  // Always computed from what the server serves now.
  Result<EnvProjectChecksum> checksum_hex() const override;

  // Whether either record is certainly missing: both are requested at the
  // same time, and a request error or a status outside 2xx on either one
  // answers true. No body is read.
  bool records_missing() const;

 private:
  template <typename T, typename Parse>
  Result<std::optional<T>> fetch_record(std::string_view name, Parse parse) const;

  url::Url base_url_;
  std::optional<std::string> known_checksum_;
  http::Client client_;
  AuthPolicy auth_policy_;
};

}  // namespace kestro::remote
