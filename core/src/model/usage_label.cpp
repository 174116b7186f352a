#include "kestro/model/usage_label.hpp"

#include <fmt/format.h>

#include <system_error>
#include <type_traits>

#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/rfc3339.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::model {

namespace {

constexpr const char* kKindNames[] = {"resource", "directory", "KPAR path", "unrecognized"};

std::string unknown_label(const UnknownUsage& u) {
  return "unrecognized usage with " + describe_usage_keys(u.object);
}

// Joined onto the base (an absolute path replaces it), then made absolute
// lexically: `.` dropped, `..` kept. Falls back to the joined path.
std::string resolved_path(const std::filesystem::path& base, const std::string& path) {
  std::filesystem::path joined = base / path;
  std::error_code ec;
  std::filesystem::path abs = std::filesystem::absolute(joined, ec);
  if (ec || joined.empty()) return display_path(joined);
  std::filesystem::path out;
  for (const auto& part : abs) {
    if (part == ".") continue;
    out /= part;
  }
  std::string text = out.native();
  if (display_path(out) != text) return display_path(joined);  // not UTF-8
  return text;
}

// An IRI with an authority (`scheme://`) as it may be shown: a password in
// its userinfo never reaches a message. Other IRIs (`urn:`, `pkg:`) may
// hold `@` with another meaning and stay as written.
std::string shown_iri(std::string_view iri) {
  return iri.find("://") == std::string_view::npos ? std::string(iri) : url::redact_url_userinfo(iri);
}

}  // namespace

const char* usage_kind_name(const InterchangeProjectUsageRaw& usage) { return kKindNames[usage.index()]; }
const char* usage_kind_name(const InterchangeProjectUsage& usage) { return kKindNames[usage.index()]; }

std::string display_declared_usage(const InterchangeProjectUsageRaw& usage) {
  return std::visit(
      [](const auto& u) -> std::string {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, ResourceUsageRaw>) {
          std::string text = fmt::format("IRI `{}`", shown_iri(u.resource));
          if (u.version_constraint) text += fmt::format(" ({})", *u.version_constraint);
          return text;
        } else if constexpr (std::is_same_v<U, DirectoryUsageRaw>) {
          return fmt::format("`{}/{}` from `{}`", u.publisher, u.name, u.dir);
        } else if constexpr (std::is_same_v<U, KparPathUsageRaw>) {
          return fmt::format("`{}/{}` in `{}`", u.publisher, u.name, u.kpar_path);
        } else {
          return unknown_label(u);
        }
      },
      usage);
}

std::string display_usage(const InterchangeProjectUsage& usage,
                          const std::optional<std::filesystem::path>& project_dir) {
  auto path_label = [&](const std::string& publisher, const std::string& name, const std::string& path) {
    if (!project_dir) return fmt::format("`{}/{}` from `{}` (base path unknown)", publisher, name, path);
    return fmt::format("`{}/{}` from `{}`", publisher, name, resolved_path(*project_dir, path));
  };
  return std::visit(
      [&](const auto& u) -> std::string {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, ResourceUsageG<iri::Iri, semver::VersionReq>>) {
          std::string text = fmt::format("IRI `{}`", shown_iri(u.resource.as_str()));
          if (u.version_constraint) text += fmt::format(" ({})", u.version_constraint->to_string());
          return text;
        } else if constexpr (std::is_same_v<U, DirectoryUsageG<std::string>>) {
          return path_label(u.publisher, u.name, u.dir);
        } else if constexpr (std::is_same_v<U, KparPathUsageG<std::string>>) {
          return path_label(u.publisher, u.name, u.kpar_path);
        } else {
          return unknown_label(u);
        }
      },
      usage);
}

InterchangeProjectMetadataRaw new_blank_metadata() { return new_blank_metadata(time::Timestamp::now()); }

InterchangeProjectMetadataRaw new_blank_metadata(time::Timestamp created) {
  InterchangeProjectMetadataRaw meta;
  meta.created = time::format_rfc3339_utc(time::Timestamp{created.seconds, 0});
  return meta;
}

}  // namespace kestro::model
