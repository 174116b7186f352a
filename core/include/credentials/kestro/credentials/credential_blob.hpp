// The stored logins as one JSON text, the password of the secret-store
// entry: the blob, its records, their subjects and validated surfaces, the
// reader and the writer. Keys the format does not name are kept and written
// back after the known ones.
#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kestro/credentials/credential_store_error.hpp"
#include "kestro/utils/calendar.hpp"
#include "kestro/utils/json_value.hpp"

namespace kestro::credentials {

// The only blob version this build reads and writes.
inline constexpr std::uint32_t kCredentialBlobVersion = 1;

// Whom a token belongs to, decided by the exact text: "user", "project",
// "oidc", anything else is `Other` holding the text.
struct SubjectKind {
  enum class Tag { User, Project, Oidc, Other };
  Tag tag = Tag::Other;
  std::string other;  // the text, for `Other` only

  static SubjectKind from_text(std::string text);
  std::string_view text() const;
  bool operator==(const SubjectKind&) const = default;
};

struct CredentialSubject {
  SubjectKind type;
  std::string name;
  bool operator==(const CredentialSubject&) const = default;
};

// An index surface that accepted a token: "read", "api", anything else is
// `Other` holding the text.
struct CredentialSurface {
  enum class Tag { Read, Api, Other };
  Tag tag = Tag::Other;
  std::string other;  // the text, for `Other` only

  static CredentialSurface from_text(std::string text);
  std::string_view text() const;
  bool operator==(const CredentialSurface&) const = default;
};

// One stored login. Its scheme is always bearer: the text holds "bearer"
// and nothing else is read.
struct CredentialRecord {
  std::string key;
  std::vector<std::string> globs;
  std::string secret;  // the bearer token; never logged or shown
  std::optional<time::Timestamp> expires_at;
  std::optional<CredentialSubject> subject;
  std::optional<std::string> token_name;
  std::optional<std::string> token_prefix;
  std::vector<CredentialSurface> validated;
  json::Object extra;  // unnamed keys, first-seen order, one member per key
  bool operator==(const CredentialRecord&) const = default;
};

// The whole stored text. The empty blob is version 1, no records, no extra
// keys.
struct CredentialBlob {
  std::uint32_t version = kCredentialBlobVersion;
  std::vector<CredentialRecord> credentials;
  json::Object extra;
  bool is_empty() const { return credentials.empty() && extra.empty(); }
  bool operator==(const CredentialBlob&) const = default;
};

// `Unreadable` for any text that is not this format (the JSON reader's own
// message is dropped); `UnsupportedBlobVersion` for a well-formed blob whose
// version is not 1, decided only after the whole text was read.
std::expected<CredentialBlob, CredentialStoreError> parse_credential_blob(std::string_view text);

// Compact JSON, keys in a fixed order, extra keys after the known ones.
std::string serialize_credential_blob(const CredentialBlob& blob);

}  // namespace kestro::credentials
