#include "kestro/resolve/file_resolver.hpp"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "kestro/utils/ascii.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/path_parts.hpp"
#include "kestro/utils/text.hpp"

namespace kestro::resolve {

namespace {

using Outcome = FileResolver::Outcome;
using PathOutcome = FileResolver::PathOutcome;

std::string path_text(const std::filesystem::path& path) { return utf8_lossy(path.native()); }

std::unexpected<FileResolverError> io_error(FsIoError err) {
  return std::unexpected(FileResolverError(FileResolverError::Io{std::move(err)}));
}

template <typename U>
Outcome path_candidate(const U& usage, const std::filesystem::path& path) {
  std::vector<LocalPathProject> items;
  if constexpr (std::is_same_v<U, DirectoryUsageG<std::string>>) {
    items.emplace_back(LocalSrcProject(path, std::nullopt, std::nullopt, usage.name,
                                       std::optional<std::string>(usage.publisher)));
  } else {
    LocalKparProject kpar(path);
    kpar.expected_publisher = usage.publisher;
    kpar.expected_name = usage.name;
    items.emplace_back(std::move(kpar));
  }
  return Outcome::resolved_with(std::move(items));
}

}  // namespace

std::string FileResolverError::text_of(const InvalidPath& v) {
  return fmt::format("failed to encode path `{}` in UTF-8", path_text(v.path));
}
std::string FileResolverError::text_of(const IriNotValidUrl& v) {
  return fmt::format("IRI `{}` is not a valid URL: {}", v.iri, v.err.message());
}
std::string FileResolverError::debug_of(const InvalidPath& v) {
  return fmt::format("InvalidPath({})", debug_quote(path_text(v.path)));
}
std::string FileResolverError::debug_of(const IriNotValidUrl& v) {
  return fmt::format("IriNotValidUrl({}, {})", debug_quote(v.iri), v.err.debug());
}

std::expected<std::filesystem::path, FileResolverError> file_url_to_path(const url::Url& url) {
  const std::string_view host = url.host();
  if ((!host.empty() && host != "localhost") || url.has_opaque_path() || !url.path().starts_with('/'))
    return std::unexpected(FileResolverError(FileResolverError::FailedPathExtract{}));
  std::filesystem::path path(url::percent_decode(url.path()));
  if (!is_valid_utf8(path.native()))
    return std::unexpected(FileResolverError(FileResolverError::InvalidPath{std::move(path)}));
  return path;
}

std::expected<PathOutcome, FileResolverError> FileResolver::check_allowed_directories(
    const std::filesystem::path& path) const {
  if (!allowed_directories_) return PathOutcome(path);
  std::vector<std::string> kept;
  for (const std::string& allowed : *allowed_directories_) {
    auto dir = canonicalize_utf8_path(allowed);
    if (!dir) return io_error(std::move(dir.error()));
    auto canonical = canonicalize_utf8_path(path);
    if (!canonical) return io_error(std::move(canonical.error()));
    if (is_within(canonical->native(), dir->native())) return PathOutcome(path);
    kept.push_back(dir->native());
  }
  return PathOutcome(Outcome{Outcome::Unresolvable{
      fmt::format("refusing to resolve path `{}`, is not inside in any of the allowed directories\n{}",
                  path_text(path), fmt::join(kept, "; "))}});
}

std::expected<PathOutcome, FileResolverError> FileResolver::resolve_usage_path(const std::filesystem::path& base,
                                                                               const std::string& usage_path) const {
  const std::filesystem::path joined = base / usage_path;
  auto canonical = canonicalize_utf8_path(joined);
  if (!canonical) {
    if (canonical.error().io().is_not_found())
      return PathOutcome(Outcome{Outcome::NotFound{fmt::format("path `{}` does not exist", path_text(joined))}});
    return io_error(std::move(canonical.error()));
  }
  return check_allowed_directories(*canonical);
}

std::expected<Outcome, FileResolverError> FileResolver::resolve(const UsageInContext& usage) {
  return std::visit(
      [&](const auto& u) -> std::expected<Outcome, FileResolverError> {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, UnknownUsage>) {
          return Outcome{Outcome::UnsupportedUsageType{"unrecognized usage with " + describe_usage_keys(u.object)}};
        } else if constexpr (std::is_same_v<U, ResourceUsageG<iri::Iri, semver::VersionReq>>) {
          if (!eq_ignore_ascii_case(u.resource.scheme(), "file"))
            return Outcome{Outcome::UnsupportedUsageType{"resource is not a file URL"}};
          auto parsed = url::Url::parse(u.resource.as_str());
          if (!parsed)
            return std::unexpected(
                FileResolverError(FileResolverError::IriNotValidUrl{u.resource.as_str(), std::move(parsed.error())}));
          auto path = file_url_to_path(*parsed);
          if (!path) return std::unexpected(std::move(path.error()));
          auto checked = check_allowed_directories(*path);
          if (!checked) return std::unexpected(std::move(checked.error()));
          if (auto* refused = std::get_if<Outcome>(&*checked)) return std::move(*refused);
          std::vector<LocalPathProject> items;
          items.emplace_back(LocalSrcProject(*path));
          items.emplace_back(LocalKparProject(*path, std::nullopt, ArchiveRootDetect{}));
          return Outcome::resolved_with(std::move(items));
        } else {
          if (!usage.project_dir) return Outcome{Outcome::Unresolvable{kNoBasePath}};
          const std::string* relative;
          if constexpr (std::is_same_v<U, DirectoryUsageG<std::string>>) relative = &u.dir;
          else relative = &u.kpar_path;
          auto resolved = resolve_usage_path(*usage.project_dir, *relative);
          if (!resolved) return std::unexpected(std::move(resolved.error()));
          if (auto* other = std::get_if<Outcome>(&*resolved)) return std::move(*other);
          return path_candidate(u, std::get<std::filesystem::path>(*resolved));
        }
      },
      usage.usage);
}

}  // namespace kestro::resolve
