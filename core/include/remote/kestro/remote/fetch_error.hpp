// Errors of reading a project's entries from a package index: one JSON
// fetch over HTTP, the discovery document, the `_iri` bucket name and the
// `versions.json` checks.
#pragma once

#include "kestro/remote/namespace.hpp"

#include <cstdint>
#include <string>
#include <variant>

#include <fmt/format.h>

#include "kestro/http/http_error.hpp"
#include "kestro/index/index_location.hpp"
#include "kestro/model/identifiers.hpp"
#include "kestro/remote/kpar_download.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/http_status.hpp"
#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/semver.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::remote {

// One HTTP GET of a JSON document failed: no answer (`Request`), a refused
// status, a body that could not be read whole (`Body`), or no document.
struct FetchJsonVariants {
  struct Request { std::string url; http::HttpError source; };
  struct BadHttpStatus { std::string url; std::uint16_t status; };
  struct Body { std::string url; http::HttpError source; };
  struct JsonParse { std::string url; json::JsonError source; };
  using Sum = std::variant<Request, BadHttpStatus, Body, JsonParse>;
};
class FetchJsonError : public ErrorSum<FetchJsonError, FetchJsonVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Request& v) {
    return fmt::format("HTTP request to `{}` failed: {}", v.url, v.source.message());
  }
  static std::string text_of(const BadHttpStatus& v) {
    return fmt::format("HTTP request to `{}` returned status {}", v.url, http_status_text(v.status));
  }
  static std::string text_of(const Body& v) {
    return fmt::format("failed to read HTTP response body from `{}`: {}", v.url, v.source.message());
  }
  static std::string text_of(const JsonParse& v) {
    return fmt::format("failed to parse JSON from `{}`: {}", v.url, v.source.message());
  }
  static const Error* cause_of(const Request& v) { return &v.source; }
  static const Error* cause_of(const Body& v) { return &v.source; }
  static const Error* cause_of(const JsonParse& v) { return &v.source; }
};

// Why discovery of an index's endpoints failed: its document
// `kestro-index-config.json` could not be fetched as JSON, or it named an
// unusable endpoint. `url` is the document's URL, `field` "index_root" or
// "api_root".
struct DiscoveryVariants {
  struct Fetch { FetchJsonError err; };
  struct RelativeUrl { std::string url; std::string field; std::string value; };
  struct InvalidUrl { std::string url; std::string field; std::string value; url::UrlError source; };
  struct UnsupportedScheme { std::string url; std::string field; std::string value; };
  struct Userinfo { std::string url; std::string field; std::string value; };
  struct InvalidLocation { std::string url; std::string field; IndexLocationError source; };
  using Sum = std::variant<Fetch, RelativeUrl, InvalidUrl, UnsupportedScheme, Userinfo, InvalidLocation>;
};

class DiscoveryError : public ErrorSum<DiscoveryError, DiscoveryVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Fetch& v) { return v.err.message(); }
  static std::string text_of(const RelativeUrl& v);
  static std::string text_of(const InvalidUrl& v);
  static std::string text_of(const UnsupportedScheme& v);
  static std::string text_of(const Userinfo& v);
  static std::string text_of(const InvalidLocation& v);
  static const Error* cause_of(const Fetch& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidUrl& v) { return &v.source; }
  static const Error* cause_of(const InvalidLocation& v) { return &v.source; }
};

// Reading a project's entries from an index failed. `url` is the address of
// the project's `versions.json`.
struct IndexEnvVariants {
  struct Discovery { DiscoveryError err; };
  struct Fetch { FetchJsonError err; };
  struct InvalidVersionEntry { std::string url; std::string version; std::string field; std::string value; };
  struct InvalidSemverVersion { std::string url; std::string value; semver::SemverError source; };
  struct VersionHasBuildMetadata { std::string url; std::string value; };
  struct VersionsOutOfOrder { std::string url; std::string prev; std::string curr; };
  struct VersionNotInIndex { std::string url; std::string version; };
  struct ProjectNotInIndex { std::string url; std::string iri; };
  struct VersionRemoved { std::string url; std::string iri; std::string version; };
  struct DuplicateVersion { std::string url; std::string version; };
  struct MalformedIri { IndexIriError err; };
  // The project's own fetch failed (`Fetch`) or its downloaded archive is
  // unusable (`Downloaded`).
  struct ProjectFetch { FetchJsonError err; };
  struct ProjectDownloaded { RemoteKparError err; };
  using Sum = std::variant<Discovery, Fetch, InvalidVersionEntry, InvalidSemverVersion, VersionHasBuildMetadata,
                           VersionsOutOfOrder, VersionNotInIndex, ProjectNotInIndex, VersionRemoved, DuplicateVersion,
                           MalformedIri, ProjectFetch, ProjectDownloaded>;
};
class IndexEnvError : public ErrorSum<IndexEnvError, IndexEnvVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const Discovery& v) { return v.err.message(); }
  static std::string text_of(const Fetch& v) { return v.err.message(); }
  static std::string text_of(const InvalidVersionEntry& v) {
    return fmt::format("versions.json at `{}` has entry for version `{}` with malformed `{}` = `{}` (expected `sha256:<64-hex>`)",
                       v.url, v.version, v.field, v.value);
  }
  static std::string text_of(const InvalidSemverVersion& v) {
    return fmt::format("versions.json at `{}` has entry with non-semver version `{}`: {}", v.url, v.value,
                       v.source.message());
  }
  static std::string text_of(const VersionHasBuildMetadata& v) {
    return fmt::format(
        "versions.json at `{}` has entry with version `{}` carrying build metadata; build metadata is not permitted in "
        "index-advertised versions",
        v.url, v.value);
  }
  static std::string text_of(const VersionsOutOfOrder& v) {
    return fmt::format("versions.json at `{}` is not in descending semver precedence: `{}` precedes `{}` in wire order",
                       v.url, v.prev, v.curr);
  }
  static std::string text_of(const VersionNotInIndex& v) {
    return fmt::format("versions.json at `{}` does not list version `{}`", v.url, v.version);
  }
  static std::string text_of(const ProjectNotInIndex& v) {
    return fmt::format("project `{}` is not in this index (versions.json at `{}` returned 404)", v.iri, v.url);
  }
  static std::string text_of(const VersionRemoved& v) {
    return fmt::format("version `{}` of `{}` was removed upstream (versions.json at `{}` marks it `status: \"removed\"`)",
                       v.version, v.iri, v.url);
  }
  static std::string text_of(const DuplicateVersion& v) {
    return fmt::format("versions.json at `{}` lists version `{}` more than once", v.url, v.version);
  }
  static std::string text_of(const MalformedIri& v) { return v.err.message(); }
  static std::string text_of(const ProjectFetch& v) { return v.err.message(); }
  static std::string text_of(const ProjectDownloaded& v) { return v.err.message(); }
  static const Error* cause_of(const Discovery& v) { return v.err.cause(); }
  static const Error* cause_of(const Fetch& v) { return v.err.cause(); }
  static const Error* cause_of(const InvalidSemverVersion& v) { return &v.source; }
  static const Error* cause_of(const MalformedIri& v) { return v.err.cause(); }
  static const Error* cause_of(const ProjectFetch& v) { return v.err.cause(); }
  static const Error* cause_of(const ProjectDownloaded& v) { return v.err.cause(); }
};

}  // namespace kestro::remote
