#include "kestro/index/index_location.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/sha256.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::index {

namespace {

constexpr std::string_view kPath = "{path}";
constexpr std::string_view kPathRaw = "{path_raw}";
// The probe stands for a two-segment project path one of whose segments
// holds a blank: a placeholder in the scheme, host or port cannot take it.
constexpr std::string_view kProbeFirst = "pr%20obe";
constexpr std::string_view kProbeSecond = "probe";

}  // namespace

std::string IndexLocationError::text_of(const InvalidUrl& e) {
  return fmt::format("invalid index URL `{}`", e.url);
}
std::string IndexLocationError::text_of(const RelativeUrl& e) {
  return fmt::format("index URL `{}` is relative;\nindex locations must be absolute HTTP(S) URLs", e.url);
}
std::string IndexLocationError::text_of(const PreEncodedPlaceholder& e) {
  return fmt::format(
      "index URL `{}` contains `%7B`/`%7D` (percent-encoded braces);\ndid you mean a `{{path}}` template? "
      "Placeholders must be written\nliterally, e.g. `.../repository/files/{{path}}/raw?ref=main`",
      e.url);
}
std::string IndexLocationError::text_of(const UnknownPlaceholder& e) {
  return fmt::format(
      "index URL template `{}` contains unknown placeholder `{}`{};\nsupported placeholders: `{{path}}` "
      "(percent-encoded, `/` becomes `%2F`) and\n`{{path_raw}}` (literal `/` separators)",
      e.url, e.placeholder, e.hint);
}
std::string IndexLocationError::text_of(const StrayBrace& e) {
  return fmt::format(
      "index URL template `{}` contains a stray `{{` or `}}`;\nsupported placeholders are `{{path}}` and "
      "`{{path_raw}}`",
      e.url);
}
std::string IndexLocationError::text_of(const PlaceholderCount& e) {
  return fmt::format(
      "index URL template `{}` must contain a `{{path}}` or `{{path_raw}}` placeholder\nexactly once, "
      "found {} occurrences",
      e.url, e.count);
}
std::string IndexLocationError::text_of(const InvalidTemplate& e) {
  return fmt::format(
      "index URL template `{}` expands to an invalid URL;\nnote that a placeholder may only appear in the "
      "path or query\nof an absolute HTTP(S) URL",
      e.url);
}
std::string IndexLocationError::text_of(const RelativeTemplate& e) {
  return fmt::format("index URL template `{}` is relative;\ntemplates must be absolute HTTP(S) URLs", e.url);
}
std::string IndexLocationError::text_of(const UnsupportedScheme& e) {
  return fmt::format("index URL `{}` uses scheme `{}`;\nonly `http` and `https` are supported", e.url,
                     e.scheme);
}
std::string IndexLocationError::text_of(const Userinfo& e) {
  return fmt::format("index URL `{}` includes username or password;\nURL userinfo is not allowed", e.url);
}
std::string IndexLocationError::text_of(const Fragment& e) {
  return fmt::format(
      "index URL `{}` includes a `#` fragment;\nfragments are never sent to the server and are not allowed "
      "in index locations",
      e.url);
}

std::string IndexLocationError::debug_of(const InvalidUrl& e) {
  return fmt::format("InvalidUrl {{ url: {}, source: {} }}", debug_quote(e.url), e.source.debug());
}
std::string IndexLocationError::debug_of(const RelativeUrl& e) {
  return fmt::format("RelativeUrl {{ url: {} }}", debug_quote(e.url));
}
std::string IndexLocationError::debug_of(const PreEncodedPlaceholder& e) {
  return fmt::format("PreEncodedPlaceholder {{ url: {} }}", debug_quote(e.url));
}
std::string IndexLocationError::debug_of(const UnknownPlaceholder& e) {
  return fmt::format("UnknownPlaceholder {{ url: {}, placeholder: {}, hint: {} }}", debug_quote(e.url),
                     debug_quote(e.placeholder), debug_quote(e.hint));
}
std::string IndexLocationError::debug_of(const StrayBrace& e) {
  return fmt::format("StrayBrace {{ url: {} }}", debug_quote(e.url));
}
std::string IndexLocationError::debug_of(const PlaceholderCount& e) {
  return fmt::format("PlaceholderCount {{ url: {}, count: {} }}", debug_quote(e.url), e.count);
}
std::string IndexLocationError::debug_of(const InvalidTemplate& e) {
  return fmt::format("InvalidTemplate {{ url: {}, source: {} }}", debug_quote(e.url), e.source.debug());
}
std::string IndexLocationError::debug_of(const RelativeTemplate& e) {
  return fmt::format("RelativeTemplate {{ url: {} }}", debug_quote(e.url));
}
std::string IndexLocationError::debug_of(const UnsupportedScheme& e) {
  return fmt::format("UnsupportedScheme {{ url: {}, scheme: {} }}", debug_quote(e.url), debug_quote(e.scheme));
}
std::string IndexLocationError::debug_of(const Userinfo& e) {
  return fmt::format("Userinfo {{ url: {} }}", debug_quote(e.url));
}
std::string IndexLocationError::debug_of(const Fragment& e) {
  return fmt::format("Fragment {{ url: {} }}", debug_quote(e.url));
}

std::expected<void, IndexLocationError> validate_location_url(const url::Url& parsed, std::string_view input) {
  using E = IndexLocationError;
  if (parsed.scheme() != "http" && parsed.scheme() != "https")
    return std::unexpected(E(E::UnsupportedScheme{redact_url_userinfo(input), std::string(parsed.scheme())}));
  if (parsed.has_credentials()) return std::unexpected(E(E::Userinfo{redact_url_userinfo(input)}));
  if (parsed.fragment()) return std::unexpected(E(E::Fragment{redact_url_userinfo(input)}));
  return {};
}

IndexLocation base_location_from_url(url::Url parsed) {
  if (parsed.has_opaque_path()) throw InternalError("an http(s) URL without path segments");
  parsed.ensure_trailing_slash();
  return BaseUrl{std::move(parsed)};
}

HttpUrlUserinfo check_http_url_userinfo(const url::Url& parsed) {
  if (parsed.scheme() != "http" && parsed.scheme() != "https") return HttpUrlUserinfo::NotHttp;
  if (parsed.has_credentials()) return HttpUrlUserinfo::HasUserinfo;
  return HttpUrlUserinfo::Plain;
}

std::string component_encode(std::string_view text) { return url::percent_encode(text, url::EncodeSet::Unreserved); }

namespace {

bool iequals_ascii(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return to_ascii_lower(x) == to_ascii_lower(y); });
}

// The placeholders of a template: exactly one, named `path` or `path_raw`.
std::expected<bool, IndexLocationError> validate_placeholders(std::string_view text) {
  using E = IndexLocationError;
  const std::string redacted = redact_url_userinfo(text);
  std::size_t count = 0;
  bool raw = false;
  for (std::size_t i = 0;;) {
    const auto open = text.find_first_of("{}", i);
    if (open == std::string_view::npos) break;
    if (text[open] == '}') return std::unexpected(E(E::StrayBrace{redacted}));
    const auto close = text.find_first_of("{}", open + 1);
    if (close == std::string_view::npos || text[close] == '{') return std::unexpected(E(E::StrayBrace{redacted}));
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (name == "path" || name == "path_raw") {
      raw = name == "path_raw";
      ++count;
    } else {
      std::string hint;
      if (iequals_ascii(name, "path"))
        hint = " (did you mean `{path}`?)";
      else if (iequals_ascii(name, "path_raw"))
        hint = " (did you mean `{path_raw}`?)";
      return std::unexpected(E(E::UnknownPlaceholder{redacted, fmt::format("{{{}}}", name), std::move(hint)}));
    }
    i = close + 1;
  }
  if (count != 1) return std::unexpected(E(E::PlaceholderCount{redacted, count}));
  return raw;
}

std::expected<IndexLocation, IndexLocationError> parse_template(std::string_view text) {
  using E = IndexLocationError;
  auto raw = validate_placeholders(text);
  if (!raw) return std::unexpected(raw.error());
  if (text.find('#') != std::string_view::npos) return std::unexpected(E(E::Fragment{redact_url_userinfo(text)}));
  const std::string_view placeholder = *raw ? kPathRaw : kPath;
  const auto at = text.find(placeholder);
  if (at == std::string_view::npos) throw InternalError("a validated template without its placeholder");
  const std::string_view prefix = text.substr(0, at), suffix = text.substr(at + placeholder.size());

  const std::string probe =
      fmt::format("{}{}{}{}{}", prefix, kProbeFirst, *raw ? "/" : "%2F", kProbeSecond, suffix);
  auto parsed = url::Url::parse(probe);
  if (!parsed) {
    if (parsed.error().is_relative_without_base())
      return std::unexpected(E(E::RelativeTemplate{redact_url_userinfo(text)}));
    return std::unexpected(E(E::InvalidTemplate{redact_url_userinfo(text), parsed.error()}));
  }
  if (auto ok = validate_location_url(*parsed, text); !ok) return std::unexpected(ok.error());

  // The prefix as the parser serialises it: scheme and host lower-cased, a
  // default port dropped, an empty path made "/".
  auto normalised = url::Url::parse(fmt::format("{}{}", prefix, kProbeFirst));
  if (!normalised || normalised->href().size() < kProbeFirst.size() ||
      !normalised->href().ends_with(kProbeFirst))
    throw InternalError("a template prefix that does not serialise before its probe");
  std::string norm_prefix = normalised->href();
  norm_prefix.resize(norm_prefix.size() - kProbeFirst.size());
  return Template{std::move(norm_prefix), std::string(suffix), *raw};
}

}  // namespace

std::expected<IndexLocation, IndexLocationError> parse_index_location(std::string_view text) {
  using E = IndexLocationError;
  if (text.find_first_of("{}") != std::string_view::npos) return parse_template(text);
  if (text.find('%') != std::string_view::npos) {
    std::string lower(text);
    for (char& c : lower) c = to_ascii_lower(c);
    if (lower.find("%7bpath%7d") != std::string::npos || lower.find("%7bpath_raw%7d") != std::string::npos)
      return std::unexpected(E(E::PreEncodedPlaceholder{redact_url_userinfo(text)}));
  }
  auto parsed = url::Url::parse(text);
  if (!parsed) {
    if (parsed.error().is_relative_without_base())
      return std::unexpected(E(E::RelativeUrl{redact_url_userinfo(text)}));
    return std::unexpected(E(E::InvalidUrl{redact_url_userinfo(text), parsed.error()}));
  }
  if (auto ok = validate_location_url(*parsed, text); !ok) return std::unexpected(ok.error());
  return base_location_from_url(std::move(*parsed));
}

std::string display_index_template(const Template& location) {
  return fmt::format("{}{}{}", location.prefix, location.raw ? kPathRaw : kPath, location.suffix);
}

std::string display_index_location(const IndexLocation& location) {
  if (const auto* base = std::get_if<BaseUrl>(&location)) return base->url.href();
  return display_index_template(std::get<Template>(location));
}

url::Url index_project_file_url(const IndexLocation& location, std::span<const std::string_view> segments) {
  if (const auto* base = std::get_if<BaseUrl>(&location)) {
    url::Url u = base->url;
    u.append_path_segments(segments);
    return u;
  }
  const Template& t = std::get<Template>(location);
  std::string text = t.prefix;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) text += t.raw ? "/" : "%2F";
    text += component_encode(segments[i]);
  }
  text += t.suffix;
  auto parsed = url::Url::parse(text);
  if (!parsed) throw InternalError("a template expansion that is no URL");
  return std::move(*parsed);
}

url::Url index_file_url(const IndexLocation& location, std::string_view file_name) {
  return index_project_file_url(location, std::span<const std::string_view>(&file_name, 1));
}

url::Url index_json_url(const IndexLocation& location) { return index_file_url(location, "index.json"); }

std::array<std::string, 2> index_project_path(const model::IndexProjectKey& key) {
  if (const auto* purl = std::get_if<model::IndexProjectKey::Purl>(&key.value)) return {purl->publisher, purl->name};
  return {"_iri", sha256_hex(std::get<model::IndexProjectKey::Iri>(key.value).canonical)};
}

std::string index_project_path_string(const model::IndexProjectKey& key) {
  auto [first, second] = index_project_path(key);
  return first + "/" + second;
}

std::string index_project_display(const model::IndexProjectKey& key) {
  if (const auto* purl = std::get_if<model::IndexProjectKey::Purl>(&key.value))
    return fmt::format("pkg:kestro/{}/{}", purl->publisher, purl->name);
  return std::get<model::IndexProjectKey::Iri>(key.value).canonical;
}

std::expected<std::array<std::string, 2>, model::IndexIriError> project_path_of_iri(std::string_view iri) {
  auto key = model::split_index_iri(iri);
  if (!key) return std::unexpected(std::move(key.error()));
  return index_project_path(*key);
}

namespace {

std::expected<url::Url, model::IndexIriError> project_url(const IndexLocation& location, std::string_view iri,
                                                          std::initializer_list<std::string_view> rest) {
  auto path = project_path_of_iri(iri);
  if (!path) return std::unexpected(std::move(path.error()));
  std::vector<std::string_view> segments{(*path)[0], (*path)[1]};
  segments.insert(segments.end(), rest.begin(), rest.end());
  return index_project_file_url(location, segments);
}

}  // namespace

std::expected<url::Url, model::IndexIriError> versions_json_url(const IndexLocation& location, std::string_view iri) {
  return project_url(location, iri, {"versions.json"});
}

std::expected<url::Url, model::IndexIriError> index_version_file_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version) {
  return project_url(location, iri, {version, ".project.json"});
}

std::expected<url::Url, model::IndexIriError> index_version_meta_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version) {
  return project_url(location, iri, {version, ".meta.json"});
}

std::expected<url::Url, model::IndexIriError> index_version_kpar_url(const IndexLocation& location,
                                                                     std::string_view iri, std::string_view version) {
  return project_url(location, iri, {version, "project.kpar"});
}

std::expected<std::vector<IndexLocation>, IndexLocationError> collect_index_locations(
    std::vector<model::Index> configured, std::vector<std::string> explicit_urls,
    std::vector<std::string> builtin_default_urls, std::vector<std::string> explicit_default_urls) {
  auto is_default = [](const model::Index& i) { return i.default_.value_or(false); };
  std::vector<std::string> texts = std::move(explicit_urls);
  if (!explicit_default_urls.empty()) {
    for (auto& entry : configured)
      if (!is_default(entry)) texts.push_back(std::move(entry.url));
    for (auto& u : explicit_default_urls) texts.push_back(std::move(u));
  } else {
    std::stable_partition(configured.begin(), configured.end(), [&](const model::Index& i) { return !is_default(i); });
    const bool any_default = !configured.empty() && is_default(configured.back());
    for (auto& entry : configured) texts.push_back(std::move(entry.url));
    if (!any_default)
      for (auto& u : builtin_default_urls) texts.push_back(std::move(u));
  }
  std::vector<IndexLocation> out;
  out.reserve(texts.size());
  for (const auto& text : texts) {
    auto location = parse_index_location(text);
    if (!location) return std::unexpected(std::move(location.error()));
    out.push_back(std::move(*location));
  }
  return out;
}

}  // namespace kestro::index
