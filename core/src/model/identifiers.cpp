#include "kestro/model/identifiers.hpp"

#include <fmt/format.h>

#include <limits>

#include "kestro/utils/text.hpp"
#include "kestro/utils/ascii.hpp"

namespace kestro::model {

namespace {

// RFC 3987 iunreserved kept; every other byte of the UTF-8 text as %XX.
void encode_urn_field(std::string& out, std::string_view field) {
  for (std::size_t i = 0; i < field.size();) {
    const auto b = static_cast<unsigned char>(field[i]);
    char32_t cp = 0;
    const std::size_t len = b < 0x80 ? 1 : decode_utf8(field, i, &cp);
    const bool keep = b < 0x80 ? (is_ascii_alnum(field[i]) || b == '-' || b == '.' || b == '_' || b == '~')
                               : len > 0 && iri::is_ucschar(cp);
    if (keep) {
      out.append(field, i, len);
      i += len;
    } else {
      out += fmt::format("%{:02X}", b);
      ++i;
    }
  }
}

}  // namespace

std::string default_project_identifier(std::string_view publisher, std::string_view name) {
  if (is_valid_purl_field(publisher, PurlField::Publisher) && is_valid_purl_field(name, PurlField::Name))
    return "pkg:kestro/" + normalize_purl_field(publisher) + "/" + normalize_purl_field(name);
  std::string out = "urn:kestro:";
  encode_urn_field(out, publisher);
  out += '/';
  encode_urn_field(out, name);
  return out;
}

std::string IndexIriError::text_of(const Purl& v) { return fmt::format("malformed `pkg:kestro` IRI `{}`", v.iri); }
std::string IndexIriError::text_of(const Canonicalize& v) {
  return fmt::format("cannot canonicalize IRI `{}` for `_iri` bucket", v.iri);
}
std::string IndexIriError::debug_of(const Purl& v) {
  return fmt::format("Purl {{ iri: {}, source: {} }}", debug_quote(v.iri), v.source.debug());
}
std::string IndexIriError::debug_of(const Canonicalize& v) {
  return fmt::format("Canonicalize {{ iri: {}, source: {} }}", debug_quote(v.iri), v.source.debug());
}

std::expected<IndexProjectKey, IndexIriError> split_index_iri(std::string_view iri) {
  auto purl = parse_kestro_purl(iri);
  if (!purl) return std::unexpected(IndexIriError(IndexIriError::Purl{std::string(iri), std::move(purl.error())}));
  if (*purl)
    return IndexProjectKey{IndexProjectKey::Purl{std::string((*purl)->publisher), std::string((*purl)->name)}};
  auto canonical = iri::canonicalize_iri(iri);
  if (!canonical)
    return std::unexpected(
        IndexIriError(IndexIriError::Canonicalize{std::string(iri), std::move(canonical.error())}));
  return IndexProjectKey{IndexProjectKey::Iri{std::move(*canonical)}};
}

std::string IndexFieldError::text_of(const InvalidNameInProject& v) {
  return fmt::format("invalid name `{}` in .project.json of KPAR {}", v.name, v.kpar_path);
}
std::string IndexFieldError::text_of(const InvalidPublisherInProject& v) {
  return fmt::format("invalid publisher `{}` in .project.json of KPAR {}", v.publisher, v.kpar_path);
}
std::string IndexFieldError::debug_of(const InvalidNameInProject& v) {
  return fmt::format("InvalidNameInProject {{ name: {}, kpar_path: {} }}", debug_quote(v.name),
                     debug_quote(v.kpar_path));
}
std::string IndexFieldError::debug_of(const InvalidPublisherInProject& v) {
  return fmt::format("InvalidPublisherInProject {{ publisher: {}, kpar_path: {} }}", debug_quote(v.publisher),
                     debug_quote(v.kpar_path));
}

std::expected<std::string, IndexFieldError> normalize_index_name(std::string_view name, std::string_view kpar_path) {
  if (is_valid_purl_field(name, PurlField::Name)) return normalize_purl_field(name);
  return std::unexpected(IndexFieldError(IndexFieldError::InvalidNameInProject{std::string(name), std::string(kpar_path)}));
}

std::expected<std::string, IndexFieldError> normalize_index_publisher(std::string_view publisher,
                                                                      std::string_view kpar_path) {
  if (is_valid_purl_field(publisher, PurlField::Publisher)) return normalize_purl_field(publisher);
  return std::unexpected(
      IndexFieldError(IndexFieldError::InvalidPublisherInProject{std::string(publisher), std::string(kpar_path)}));
}

std::string format_sha256_digest(std::string_view hex) { return fmt::format("sha256:{}", hex); }

EnvDirCandidates::EnvDirCandidates(std::string stem, std::string base)
    : buffer_(std::move(stem)), stem_len_(static_cast<std::uint32_t>(buffer_.size())), base_(std::move(base)) {}

const std::string& EnvDirCandidates::next() {
  if (counter_ == std::numeric_limits<std::uint32_t>::max()) throw InternalError("directory candidates exhausted");
  if (counter_ == 0) {
    buffer_ += base_;
  } else {
    buffer_.resize(stem_len_);
    buffer_ += fmt::format("{}_{}", counter_, base_);
  }
  ++counter_;
  return buffer_;
}

}  // namespace kestro::model
