// Where a package index lives: an absolute http(s) base URL under which the
// index's files are path segments, or a URL template with one placeholder
// for the path of a file. Parsing and checking locations, showing them,
// hiding credentials in URL text, and the URLs of the index's files; the
// ordered list of locations a command asks.
#pragma once

#include "kestro/index/namespace.hpp"

#include <array>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestro/model/config.hpp"
#include "kestro/model/identifiers.hpp"
#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::index {

// An http(s) URL without userinfo and fragment whose path ends with `/`; a
// query stays part of it.
struct BaseUrl {
  url::Url url;
  friend bool operator==(const BaseUrl&, const BaseUrl&) = default;
};

// The text before the placeholder (normalised), the text after it (as
// written), and whether the placeholder is `{path_raw}` (`/` kept between
// segments) rather than `{path}` (`/` written as %2F).
struct Template {
  std::string prefix;
  std::string suffix;
  bool raw = false;
  friend bool operator==(const Template&, const Template&) = default;
};

using IndexLocation = std::variant<BaseUrl, Template>;

// The variants of IndexLocationError. `url` is always the text as given
// with its credentials redacted.
struct IndexLocationVariants {
  struct InvalidUrl {
    std::string url;
    url::UrlError source;
  };
  struct RelativeUrl {
    std::string url;
  };
  struct PreEncodedPlaceholder {
    std::string url;
  };
  struct UnknownPlaceholder {
    std::string url;
    std::string placeholder;
    std::string hint;
  };
  struct StrayBrace {
    std::string url;
  };
  struct PlaceholderCount {
    std::string url;
    std::size_t count;
  };
  struct InvalidTemplate {
    std::string url;
    url::UrlError source;
  };
  struct RelativeTemplate {
    std::string url;
  };
  struct UnsupportedScheme {
    std::string url;
    std::string scheme;
  };
  struct Userinfo {
    std::string url;
  };
  struct Fragment {
    std::string url;
  };
  using Sum = std::variant<InvalidUrl, RelativeUrl, PreEncodedPlaceholder, UnknownPlaceholder, StrayBrace,
                           PlaceholderCount, InvalidTemplate, RelativeTemplate, UnsupportedScheme, Userinfo, Fragment>;
};

// Why a text is no index location. The URL parser's error is the cause of
// InvalidUrl and InvalidTemplate.
class IndexLocationError : public ErrorSum<IndexLocationError, IndexLocationVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidUrl& v);
  static std::string text_of(const RelativeUrl& v);
  static std::string text_of(const PreEncodedPlaceholder& v);
  static std::string text_of(const UnknownPlaceholder& v);
  static std::string text_of(const StrayBrace& v);
  static std::string text_of(const PlaceholderCount& v);
  static std::string text_of(const InvalidTemplate& v);
  static std::string text_of(const RelativeTemplate& v);
  static std::string text_of(const UnsupportedScheme& v);
  static std::string text_of(const Userinfo& v);
  static std::string text_of(const Fragment& v);
  static std::string debug_of(const InvalidUrl& v);
  static std::string debug_of(const RelativeUrl& v);
  static std::string debug_of(const PreEncodedPlaceholder& v);
  static std::string debug_of(const UnknownPlaceholder& v);
  static std::string debug_of(const StrayBrace& v);
  static std::string debug_of(const PlaceholderCount& v);
  static std::string debug_of(const InvalidTemplate& v);
  static std::string debug_of(const RelativeTemplate& v);
  static std::string debug_of(const UnsupportedScheme& v);
  static std::string debug_of(const Userinfo& v);
  static std::string debug_of(const Fragment& v);
  static const Error* cause_of(const InvalidUrl& v) { return &v.source; }
  static const Error* cause_of(const InvalidTemplate& v) { return &v.source; }
};

std::expected<IndexLocation, IndexLocationError> parse_index_location(std::string_view text);

// A base URL as its serialisation; a template as prefix, placeholder,
// suffix.
std::string display_index_location(const IndexLocation& location);
std::string display_index_template(const Template& location);

using url::redact_url_userinfo;

// Scheme http or https, no username or password, no fragment; `input` is
// only used, redacted, in the error.
std::expected<void, IndexLocationError> validate_location_url(const url::Url& parsed, std::string_view input);
// The base form of a URL that passed validate_location_url.
IndexLocation base_location_from_url(url::Url parsed);

enum class HttpUrlUserinfo { NotHttp, HasUserinfo, Plain };
HttpUrlUserinfo check_http_url_userinfo(const url::Url& parsed);

// Every byte outside A-Z a-z 0-9 - . _ ~ as %XX.
std::string component_encode(std::string_view text);

// The URL of a file at the index's root ("index.json", the discovery
// document).
url::Url index_file_url(const IndexLocation& location, std::string_view file_name);
url::Url index_json_url(const IndexLocation& location);
// The URL of the file that the segments name (a project path, then further
// segments).
url::Url index_project_file_url(const IndexLocation& location, std::span<const std::string_view> segments);

// [publisher, name] of a `pkg:kestro` key; ["_iri", sha256 hex of the
// canonical text] otherwise.
std::array<std::string, 2> index_project_path(const model::IndexProjectKey& key);
std::string index_project_path_string(const model::IndexProjectKey& key);
std::string index_project_display(const model::IndexProjectKey& key);
std::expected<std::array<std::string, 2>, model::IndexIriError> project_path_of_iri(std::string_view iri);

std::expected<url::Url, model::IndexIriError> versions_json_url(const IndexLocation& location, std::string_view iri);
std::expected<url::Url, model::IndexIriError> index_version_file_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version);
std::expected<url::Url, model::IndexIriError> index_version_meta_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version);
std::expected<url::Url, model::IndexIriError> index_version_kpar_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version);

// The locations to ask, in order: explicit URLs, configured ones, then the
// explicit default URLs (or, when there are none, the built-in default
// unless the configuration marks one of its own as default). The first text
// that does not parse ends the operation.
std::expected<std::vector<IndexLocation>, IndexLocationError> collect_index_locations(
    std::vector<model::Index> configured, std::vector<std::string> explicit_urls,
    std::vector<std::string> builtin_default_urls, std::vector<std::string> explicit_default_urls);

}  // namespace kestro::index
