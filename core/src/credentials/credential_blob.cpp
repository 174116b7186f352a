#include "kestro/credentials/credential_blob.hpp"

#include <array>
#include <limits>
#include <utility>

#include <fmt/format.h>

#include "kestro/utils/json_reader.hpp"
#include "kestro/utils/json_writer.hpp"
#include "kestro/utils/rfc3339.hpp"

namespace kestro::credentials {

namespace {

using json::JsonError;
using json::Reader;
using json::Result;

constexpr std::array<std::string_view, 3> kSubjectTexts = {"user", "project", "oidc"};
constexpr std::array<std::string_view, 2> kSurfaceTexts = {"read", "api"};

// The named tags of a text-decided kind, in tag order, then `Other`.
template <typename Kind, std::size_t N>
Kind kind_from_text(const std::array<std::string_view, N>& names, std::string text) {
  for (std::size_t i = 0; i < N; ++i)
    if (text == names[i]) return Kind{static_cast<typename Kind::Tag>(i), {}};
  return Kind{Kind::Tag::Other, std::move(text)};
}
template <typename Kind, std::size_t N>
std::string_view kind_text(const std::array<std::string_view, N>& names, const Kind& kind) {
  if (kind.tag == Kind::Tag::Other) return kind.other;
  return names[static_cast<std::size_t>(kind.tag)];
}

JsonError failure(std::string text) { return JsonError(std::move(text)); }

// Marks the listed key `index` as seen; a second sighting fails the read.
Result<void> first_sighting(std::uint32_t& seen, std::size_t index, std::string_view key) {
  if ((seen >> index & 1U) != 0) return std::unexpected(failure(fmt::format("duplicate field `{}`", key)));
  seen |= 1U << index;
  return {};
}

// Index of `key` in `names`, or `names.size()` for an unnamed key.
template <std::size_t N>
std::size_t key_index(const std::array<std::string_view, N>& names, std::string_view key) {
  for (std::size_t i = 0; i < N; ++i)
    if (names[i] == key) return i;
  return N;
}

template <std::size_t N>
Result<void> require(const std::array<std::string_view, N>& names, std::uint32_t seen, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if ((seen >> i & 1U) == 0) return std::unexpected(failure(fmt::format("missing field `{}`", names[i])));
  return {};
}

// A repeated unnamed key keeps its first place and takes the later value.
Result<void> read_extra(json::Object& extra, std::string key, Reader& r) {
  auto value = r.read_value();
  if (!value) return std::unexpected(value.error());
  extra.insert_or_assign(std::move(key), std::move(*value));
  return {};
}

Result<std::optional<CredentialSubject>> read_subject(Reader& r) {
  auto null = r.read_null();
  if (!null) return std::unexpected(null.error());
  if (*null) return std::nullopt;
  static constexpr std::array<std::string_view, 2> kKeys = {"type", "name"};
  CredentialSubject subject;
  std::uint32_t seen = 0;
  auto done = json::read_map(r, "struct CredentialSubject", [&](std::string key, Reader& in) -> Result<void> {
    const std::size_t i = key_index(kKeys, key);
    if (i == kKeys.size()) return in.skip_value();  // other subject keys are dropped
    if (auto e = first_sighting(seen, i, key); !e) return e;
    auto text = in.read_string();
    if (!text) return std::unexpected(text.error());
    if (i == 0)
      subject.type = SubjectKind::from_text(std::move(*text));
    else
      subject.name = std::move(*text);
    return {};
  });
  if (!done) return std::unexpected(done.error());
  if (auto e = require(kKeys, seen, kKeys.size()); !e) return std::unexpected(e.error());
  return subject;
}

// Record keys; the first four are required.
constexpr std::array<std::string_view, 9> kRecordKeys = {"key",     "globs",      "scheme",       "secret",   "expires_at",
                                                         "subject", "token_name", "token_prefix", "validated"};

Result<void> read_record_member(CredentialRecord& rec, std::size_t i, Reader& r) {
  switch (i) {
    case 0:
      return json::assign(r.read_string(), rec.key);
    case 1:
      return json::assign(json::read_string_list(r), rec.globs);
    case 2: {
      auto scheme = r.read_string();
      if (!scheme) return std::unexpected(scheme.error());
      if (*scheme != "bearer") return std::unexpected(failure("unknown credential scheme"));
      return {};
    }
    case 3:
      return json::assign(r.read_string(), rec.secret);
    case 4: {
      auto text = r.read_optional_string();
      if (!text) return std::unexpected(text.error());
      if (!*text) return {};
      auto t = time::parse_rfc3339(**text);
      if (!t) return std::unexpected(failure(t.error().message()));
      rec.expires_at = *t;
      return {};
    }
    case 5:
      return json::assign(read_subject(r), rec.subject);
    case 6:
      return json::assign(r.read_optional_string(), rec.token_name);
    case 7:
      return json::assign(r.read_optional_string(), rec.token_prefix);
    default: {
      auto texts = json::read_string_list(r);
      if (!texts) return std::unexpected(texts.error());
      for (auto& t : *texts) rec.validated.push_back(CredentialSurface::from_text(std::move(t)));
      return {};
    }
  }
}

Result<CredentialRecord> read_credential_record(Reader& r) {
  CredentialRecord rec;
  std::uint32_t seen = 0;
  auto done = json::read_map(r, "struct CredentialRecord", [&](std::string key, Reader& in) -> Result<void> {
    const std::size_t i = key_index(kRecordKeys, key);
    if (i == kRecordKeys.size()) return read_extra(rec.extra, std::move(key), in);
    if (auto e = first_sighting(seen, i, key); !e) return e;
    return read_record_member(rec, i, in);
  });
  if (!done) return std::unexpected(done.error());
  if (auto e = require(kRecordKeys, seen, 4); !e) return std::unexpected(e.error());
  return rec;
}

Result<CredentialBlob> read_blob(Reader& r) {
  static constexpr std::array<std::string_view, 2> kKeys = {"version", "credentials"};
  CredentialBlob blob;
  std::uint32_t seen = 0;
  auto done = json::read_map(r, "struct CredentialBlob", [&](std::string key, Reader& in) -> Result<void> {
    const std::size_t i = key_index(kKeys, key);
    if (i == kKeys.size()) return read_extra(blob.extra, std::move(key), in);
    if (auto e = first_sighting(seen, i, key); !e) return e;
    if (i == 0) {
      auto n = in.read_number("u32");
      if (!n) return std::unexpected(n.error());
      if (n->kind != json::Number::Kind::U64 || n->u > std::numeric_limits<std::uint32_t>::max())
        return std::unexpected(failure("version out of range"));
      blob.version = static_cast<std::uint32_t>(n->u);
      return {};
    }
    return json::read_seq(in, "a sequence", [&](Reader& el) -> Result<void> {
      auto rec = read_credential_record(el);
      if (!rec) return std::unexpected(rec.error());
      blob.credentials.push_back(std::move(*rec));
      return {};
    });
  });
  if (!done) return std::unexpected(done.error());
  if (auto e = require(kKeys, seen, 1); !e) return std::unexpected(e.error());
  return blob;
}

void write_extra(json::Writer& w, const json::Object& extra) {
  for (const auto& [k, v] : extra.members()) {
    w.key(k);
    w.value(v);
  }
}

void write_optional_text(json::Writer& w, std::string_view key, const std::optional<std::string>& text) {
  if (text) w.member(key, *text);
}

void write_record(json::Writer& w, const CredentialRecord& rec) {
  w.begin_object();
  w.member("key", rec.key);
  w.key("globs");
  w.begin_array();
  for (const auto& g : rec.globs) w.string(g);
  w.end_array();
  w.member("scheme", "bearer");
  w.member("secret", rec.secret);
  if (rec.expires_at) w.member("expires_at", time::format_rfc3339_utc(*rec.expires_at));
  if (rec.subject) {
    w.key("subject");
    w.begin_object();
    w.member("type", rec.subject->type.text());
    w.member("name", rec.subject->name);
    w.end_object();
  }
  write_optional_text(w, "token_name", rec.token_name);
  write_optional_text(w, "token_prefix", rec.token_prefix);
  if (!rec.validated.empty()) {
    w.key("validated");
    w.begin_array();
    for (const auto& s : rec.validated) w.string(s.text());
    w.end_array();
  }
  write_extra(w, rec.extra);
  w.end_object();
}

}  // namespace

SubjectKind SubjectKind::from_text(std::string text) {
  return kind_from_text<SubjectKind>(kSubjectTexts, std::move(text));
}
std::string_view SubjectKind::text() const { return kind_text(kSubjectTexts, *this); }

CredentialSurface CredentialSurface::from_text(std::string text) {
  return kind_from_text<CredentialSurface>(kSurfaceTexts, std::move(text));
}
std::string_view CredentialSurface::text() const { return kind_text(kSurfaceTexts, *this); }

std::expected<CredentialBlob, CredentialStoreError> parse_credential_blob(std::string_view text) {
  auto blob = json::parse_document<CredentialBlob>(text, read_blob);
  if (!blob) return std::unexpected(CredentialStoreError::Unreadable{});
  if (blob->version != kCredentialBlobVersion)
    return std::unexpected(CredentialStoreError::UnsupportedBlobVersion{blob->version, kCredentialBlobVersion});
  return std::move(*blob);
}

std::string serialize_credential_blob(const CredentialBlob& blob) {
  json::Writer w(json::Writer::Style::Compact);
  w.begin_object();
  w.key("version");
  w.u64(blob.version);
  w.key("credentials");
  w.begin_array();
  for (const auto& rec : blob.credentials) write_record(w, rec);
  w.end_array();
  write_extra(w, blob.extra);
  w.end_object();
  return w.take();
}

}  // namespace kestro::credentials
