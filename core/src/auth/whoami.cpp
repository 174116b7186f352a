#include "kestro/auth/whoami.hpp"

#include <array>

#include "kestro/utils/log.hpp"
#include "kestro/utils/rfc3339.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::auth {
namespace {

constexpr std::string_view kTarget = "kestro_core::commands::auth";

constexpr std::array kBodyFields{json::Field{"subject", true}, json::Field{"token", true}};
constexpr std::array kSubjectFields{json::Field{"type", true}, json::Field{"name", true}};
constexpr std::array kTokenFields{json::Field{"name"}, json::Field{"prefix"}, json::Field{"expires_at"}};

json::Result<std::optional<time::Timestamp>> read_expiry(json::Reader& r) {
  auto text = r.read_optional_string();
  if (!text) return std::unexpected(text.error());
  if (!*text) return std::nullopt;
  auto t = time::parse_rfc3339(**text);
  if (!t) return std::unexpected(r.error(t.error().message()));
  return *t;
}

json::Result<WhoamiSubject> read_subject(json::Reader& r) {
  WhoamiSubject subject;
  auto res = json::read_record(r, "struct WhoamiSubject", kSubjectFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
    auto s = rd.read_string();
    if (!s) return std::unexpected(s.error());
    if (i == 0)
      subject.type = SubjectKind::from_text(std::move(*s));
    else
      subject.name = std::move(*s);
    return {};
  });
  if (!res) return std::unexpected(res.error());
  return subject;
}

json::Result<WhoamiToken> read_token(json::Reader& r) {
  WhoamiToken token;
  auto res = json::read_record(r, "struct WhoamiToken", kTokenFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
    switch (i) {
      case 0: return json::assign(rd.read_optional_string(), token.name);
      case 1: return json::assign(rd.read_optional_string(), token.prefix);
      default: return json::assign(read_expiry(rd), token.expires_at);
    }
  });
  if (!res) return std::unexpected(res.error());
  return token;
}

}  // namespace

json::Result<WhoamiBody> parse_whoami_body(std::string_view text) {
  return json::parse_document<WhoamiBody>(text, [](json::Reader& r) -> json::Result<WhoamiBody> {
    WhoamiBody body;
    auto res = json::read_record(r, "struct WhoamiBody", kBodyFields, [&](size_t i, json::Reader& rd) -> json::Result<void> {
      if (i == 0) return json::assign(read_subject(rd), body.subject);
      return json::assign(read_token(rd), body.token);
    });
    if (!res) return std::unexpected(res.error());
    return body;
  });
}

void log_unread_whoami_body(const Error& failure) {
  if (log::enabled(log::Level::Debug, kTarget))
    log::emit(log::Level::Debug, kTarget, "whoami body was not read: " + render_error_chain(failure));
}

std::optional<WhoamiBody> whoami_from_body(const std::string& body) {
  auto parsed = parse_whoami_body(body);
  if (!parsed) {
    if (log::enabled(log::Level::Debug, kTarget))
      log::emit(log::Level::Debug, kTarget,
                "whoami body was not parsed: " + parsed.error().message() + ";\nbody: " + utf8_lossy(body));
    return std::nullopt;
  }
  return std::move(*parsed);
}

}  // namespace kestro::auth
