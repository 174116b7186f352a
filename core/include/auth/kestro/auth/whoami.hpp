// The identity an index's API reports for a bearer token (`v1/whoami`):
// who the subject is, and the token's name, prefix and expiry. The reader
// is strict about the fields it knows and skips the others.
#pragma once

#include "kestro/auth/namespace.hpp"

#include <concepts>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kestro/credentials/credential_blob.hpp"
#include "kestro/utils/calendar.hpp"
#include "kestro/utils/error.hpp"
#include "kestro/utils/json_reader.hpp"

namespace kestro::auth {

// The subject kind is the stored credentials' `SubjectKind`.
struct WhoamiSubject {
  SubjectKind type;
  std::string name;
  friend bool operator==(const WhoamiSubject&, const WhoamiSubject&) = default;
};

// Absent and JSON null both mean none.
struct WhoamiToken {
  std::optional<std::string> name;
  std::optional<std::string> prefix;
  std::optional<time::Timestamp> expires_at;
  friend bool operator==(const WhoamiToken&, const WhoamiToken&) = default;
};

struct WhoamiBody {
  WhoamiSubject subject;
  WhoamiToken token;
  friend bool operator==(const WhoamiBody&, const WhoamiBody&) = default;
};

// One JSON value, white space around it allowed. A known key given twice,
// a missing required key, an `expires_at` that is not an RFC 3339 date-time
// with an offset (or null) fail the read; unknown keys are skipped.
json::Result<WhoamiBody> parse_whoami_body(std::string_view text);

// The identity in the text of a `v1/whoami` body; an unparsable body gives
// none and one debug line on target `kestro_core::commands::auth`.
std::optional<WhoamiBody> whoami_from_body(const std::string& body);

// The debug line, on the same target, of a body that could not be read.
void log_unread_whoami_body(const Error& failure);

// The identity in the body of a `v1/whoami` answer with status 200, given
// the body as read or the reader's error (of whatever type the reader
// gives). Never fails: an unread or unparsable body gives none and one
// debug line.
template <std::derived_from<Error> E>
std::optional<WhoamiBody> parse_whoami_response(const std::expected<std::string, E>& body) {
  if (body) return whoami_from_body(*body);
  log_unread_whoami_body(body.error());
  return std::nullopt;
}

}  // namespace kestro::auth
