// Remote source trees: records and files by authenticated GET, bodies
// decoded by their declared character set.
#include "kestro/remote/remote_src.hpp"

#include <future>
#include <memory>
#include <utility>

#include <fmt/format.h>

#include "kestro/auth/fetch_json.hpp"
#include "kestro/auth/send_with_credentials.hpp"
#include "kestro/project/blocking.hpp"
#include "kestro/project/checksum.hpp"
#include "kestro/utils/http_status.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::remote {

std::string RemoteSrcVariants::text_of(const HttpRequest& v) {
  return "error making an HTTP request:\n" + v.err.debug();
}
std::string RemoteSrcVariants::text_of(const HttpBody& v) { return "error making an HTTP request:\n" + v.err.debug(); }
std::string RemoteSrcVariants::text_of(const Deserialize& v) {
  return fmt::format("HTTP request to\n  `{}`\n  returned malformed data: {}", v.url, v.err.message());
}
std::string RemoteSrcVariants::text_of(const BadStatus& v) {
  return fmt::format("HTTP request to `{}` returned unexpected status code {}", v.url, http_status_text(v.status));
}
std::string RemoteSrcVariants::debug_of(const Deserialize& v) {
  return fmt::format("Deserialize({}, {})", debug_quote(v.url), v.err.debug());
}
std::string RemoteSrcVariants::debug_of(const BadStatus& v) {
  return fmt::format("BadStatus({}, {})", debug_quote(v.url), v.status);
}
std::string RemoteSrcVariants::debug_of(const InternalUrl& v) {
  return fmt::format("InternalUrl({}, {})", debug_quote(v.name), v.err.debug());
}

namespace {

bool is_scheme_start(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_scheme_char(char c) {
  return is_scheme_start(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Whether `path` begins with `scheme:`, which makes it an absolute URL (or a
// drive letter) rather than a reference relative to the base.
bool has_scheme(std::string_view path) {
  if (path.empty() || !is_scheme_start(path[0])) return false;
  for (char c : path.substr(1)) {
    if (c == ':') return true;
    if (!is_scheme_char(c)) return false;
  }
  return false;
}

// The text URL parsing actually reads: leading and trailing C0 controls and
// spaces removed, and every tab, line feed and carriage return dropped.
std::string as_url_parser_reads(std::string_view path) {
  while (!path.empty() && static_cast<unsigned char>(path.front()) <= 0x20) path.remove_prefix(1);
  while (!path.empty() && static_cast<unsigned char>(path.back()) <= 0x20) path.remove_suffix(1);
  std::string out;
  for (char c : path)
    if (c != '\t' && c != '\n' && c != '\r') out += c;
  return out;
}

}  // namespace

std::expected<void, RelativePathError> check_remote_path(std::string_view path) {
  const std::string original(path);
  if (auto checked = validate_relative_path(path, RelativePathKind::ProjectFile); !checked)
    return std::unexpected(std::move(checked.error()));
  // What the URL parser reads must pass the same rules: ` /x` would be
  // absolute to it and `.<tab>.` a parent step.
  const std::string read = as_url_parser_reads(path);
  if (read != path) {
    auto checked = validate_relative_path(read, RelativePathKind::ProjectFile);
    if (!checked)
      return std::unexpected(checked.error().visit([&](auto v) {
        v.path = original;
        return RelativePathError(std::move(v));
      }));
  }
  if (has_scheme(read)) return std::unexpected(RelativePathError(RelativePathError::Absolute{original}));
  // The URL parser ends the path at `?` or `#`: `..?x` climbs a level just
  // as `..` does, so the segments are checked as the parser cuts them.
  const std::string_view url_path = std::string_view(read).substr(0, read.find_first_of("?#"));
  const auto fault = path_fault(url_path, PathPolicy::RemoteSegment);
  if (fault == PathFault::Current)
    return std::unexpected(RelativePathError(RelativePathError::ContainsCurrent{original}));
  if (fault == PathFault::Parent)
    return std::unexpected(RelativePathError(RelativePathError::ContainsParent{original}));
  return {};
}

namespace {

// A response body as the pieces a BodyReader consumes.
class ResponseBody : public BodyStream {
 public:
  explicit ResponseBody(http::Response response) : response_(std::move(response)) {}
  std::optional<Item> next() override {
    auto piece = response_.next_piece();
    if (!piece) return Item(std::unexpected(make_error<http::HttpError>(std::move(piece.error()))));
    if (piece->end) return std::nullopt;
    return Item(std::string(piece->bytes));
  }

 private:
  http::Response response_;
};

}  // namespace

template <typename T, typename Parse>
RemoteSrcProject::Result<std::optional<T>> RemoteSrcProject::fetch_record(std::string_view name, Parse parse) const {
  auto url = base_url_.join(name);
  if (!url) return std::unexpected(RemoteSrcError(RemoteSrcError::InternalUrl{std::string(name), url.error()}));
  auto answer = fetch_json<T>(auth_policy_, *url, client_, parse, BodyCharset::Declared);
  if (!answer)
    return std::unexpected(std::visit(
        [&](auto& v) -> RemoteSrcError {
          using V = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<V, JsonReadFailure::Request>)
            return RemoteSrcError::HttpRequest{std::move(v.err)};
          else if constexpr (std::is_same_v<V, JsonReadFailure::Body>)
            return RemoteSrcError::HttpBody{std::move(v.err)};
          else
            return RemoteSrcError::Deserialize{kestro::url::display_url(*url), std::move(v.err)};
        },
        answer.error().kind));
  return std::move(answer->document);
}

RemoteSrcProject::Result<std::optional<InterchangeProjectInfoRaw>> RemoteSrcProject::get_info() const {
  return fetch_record<InterchangeProjectInfoRaw>(".project.json", [](std::string_view t) {
    return parse_project_info(t);
  });
}

RemoteSrcProject::Result<std::optional<InterchangeProjectMetadataRaw>> RemoteSrcProject::get_meta() const {
  return fetch_record<InterchangeProjectMetadataRaw>(".meta.json", [](std::string_view t) {
    return parse_project_meta(t);
  });
}

namespace {

// Runs `info` here while `meta` runs on a second thread, so that both
// record requests are in flight together; neither is abandoned.
template <typename Info, typename Meta>
auto both_records(Info info, Meta meta) {
  auto meta_future = std::async(std::launch::async, std::move(meta));
  auto first = info();
  return std::pair(std::move(first), meta_future.get());
}

}  // namespace

RemoteSrcProject::Result<ProjectRecords> RemoteSrcProject::get_project() const {
  auto [info, meta] = both_records([this] { return get_info(); }, [this] { return get_meta(); });
  if (!info) return std::unexpected(std::move(info.error()));
  if (!meta) return std::unexpected(std::move(meta.error()));
  return ProjectRecords{std::move(*info), std::move(*meta)};
}

bool RemoteSrcProject::records_missing() const {
  const auto answered = [this](std::string_view name) {
    auto url = base_url_.join(name);
    if (!url) internal_error("internal URL error");
    auto response = send_with_credentials(auth_policy_, RequestVariant::JsonDocument, *url, client_);
    return response && is_success(response->status());
  };
  auto [info, meta] = both_records([&] { return answered(".project.json"); }, [&] { return answered(".meta.json"); });
  return !info || !meta;
}

RemoteSrcProject::Result<SourceReaderPtr> RemoteSrcProject::read_source(std::string_view path) const {
  if (auto safe = check_remote_path(path); !safe)
    return std::unexpected(RemoteSrcError(RemoteSrcError::UnsafePath{std::move(safe.error())}));
  auto url = base_url_.join(path);
  if (!url) return std::unexpected(RemoteSrcError(RemoteSrcError::InternalUrl{std::string(path), url.error()}));
  auto response = send_with_credentials(auth_policy_, RequestVariant::SourceFile, *url, client_);
  if (!response) return std::unexpected(RemoteSrcError(RemoteSrcError::HttpRequest{std::move(response.error())}));
  if (!is_success(response->status()))
    return std::unexpected(
        RemoteSrcError(RemoteSrcError::BadStatus{kestro::url::display_url(response->final_url()), response->status()}));
  return SourceReaderPtr(std::make_unique<BodyReader>(std::make_unique<ResponseBody>(std::move(*response))));
}

std::expected<std::optional<std::string>, CanonicalizationError<RemoteSrcError>>
RemoteSrcProject::checksum_canonical_hex() const {
  auto records = get_project();
  if (!records) return std::unexpected(CanonicalizationError<RemoteSrcError>::project_read(std::move(records.error())));
  return canonical_checksum_of_records(*this, records->first, std::move(records->second), RecordCheck::BeforeEntries);
}

RemoteSrcProject::Result<EnvProjectChecksum> RemoteSrcProject::checksum_hex() const {
  return source_checksum<RemoteSrcError>(checksum_canonical_hex());
}

RemoteSrcProject::Result<std::vector<Source>> RemoteSrcProject::sources(const ProjectContext&) const {
  std::string checksum;
  if (known_checksum_) {
    checksum = *known_checksum_;
  } else {
    auto computed = checksum_hex();
    if (!computed) return std::unexpected(std::move(computed.error()));
    checksum = std::move(computed->hex);
  }
  return std::vector<Source>{RemoteSrcSource{base_url_.href(), std::move(checksum)}};
}

}  // namespace kestro::remote
