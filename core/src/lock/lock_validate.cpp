#include <string>
#include <unordered_set>

#include "kestro/lock/lock_read.hpp"
#include "kestro/utils/log.hpp"
#include "kestro/utils/semver.hpp"
#include "kestro/utils/sha256.hpp"

namespace kestro::lock {
namespace {

using Unexpected = std::unexpected<LockValidationError>;

std::expected<void, LockValidationError> check_path(std::string_view path, RelativePathKind kind,
                                                    const Project& p) {
  if (auto r = validate_relative_path(path, kind); !r)
    return Unexpected(LockValidationError::InvalidSourcePath{p.name, std::move(r.error())});
  return {};
}

std::expected<void, LockValidationError> check_iri(std::string_view url, const Project& p) {
  if (auto r = iri::Iri::parse(url); !r)
    return Unexpected(LockValidationError::InvalidSourceUrl{p.name, std::move(r.error())});
  return {};
}

std::expected<void, LockValidationError> check_digest(std::string_view kind, const std::string& digest,
                                                      const Project& p) {
  if (!is_lower_hex_digest(digest))
    return Unexpected(LockValidationError::InvalidDigestFormat{std::string(kind), digest, p.name});
  return {};
}

// The location check, then (when it passed) the digest check.
template <typename F>
std::expected<void, LockValidationError> both(std::expected<void, LockValidationError> location, F&& digest) {
  if (!location) return location;
  return digest();
}

std::expected<void, LockValidationError> check_source(const Source& source, const Project& p) {
  constexpr std::string_view kKpar = "kpar", kCanonical = "project canonical";
  return std::visit(
      [&](const auto& s) -> std::expected<void, LockValidationError> {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, EditableSource>) {
          return check_path(s.editable, RelativePathKind::RelativeDirectory, p);
        } else if constexpr (std::is_same_v<S, LocalSrcSource>) {
          return both(check_path(s.src_path, RelativePathKind::RelativeDirectory, p), [&] { return check_digest(kCanonical, s.checksum, p); });
        } else if constexpr (std::is_same_v<S, LocalKparSource>) {
          return both(check_path(s.kpar_path, RelativePathKind::RelativeFile, p), [&] { return check_digest(kKpar, s.kpar_digest, p); });
        } else if constexpr (std::is_same_v<S, RemoteKparSource>) {
          return both(check_iri(s.remote_kpar, p), [&] { return check_digest(kKpar, s.kpar_digest, p); });
        } else if constexpr (std::is_same_v<S, IndexKparSource>) {
          return both(check_iri(s.index_kpar, p), [&] { return check_digest(kKpar, s.kpar_digest, p); });
        } else if constexpr (std::is_same_v<S, RemoteSrcSource>) {
          return both(check_iri(s.remote_src, p), [&] { return check_digest(kCanonical, s.checksum, p); });
        } else {
          return check_iri(s.remote_git, p);
        }
      },
      source);
}

}  // namespace

std::expected<void, LockValidationError> validate_lock(const Lock& lock) {
  if (lock.lock_version != kLockVersion) return Unexpected(LockValidationError::UnsupportedVersion{lock.lock_version});

  // Pass 1: project keys and exported symbols.
  std::unordered_set<std::string_view> keys, symbols;
  bool seen_without_id = false;
  for (const Project& p : lock.project) {
    if (p.identifiers.empty()) {
      if (seen_without_id) return Unexpected(LockValidationError::ProjectWithoutId{p.name});
      seen_without_id = true;
    } else if (!keys.insert(p.identifiers.front()).second) {
      return Unexpected(LockValidationError::ProjectIdCollision{p.identifiers.front()});
    }
    for (const std::string& s : p.exports)
      if (!symbols.insert(s).second) return Unexpected(LockValidationError::NameCollision{s});
  }

  // Pass 2: version warnings; the usable identifiers are the keys above.
  for (const Project& p : lock.project)
    if (auto v = semver::Version::parse(p.version); !v)
      log::warn(kLockLogTarget, "invalid semantic version `{}` for project `{}`\n{:>8} {}", p.version, p.name, "",
                v.error().message());

  // Pass 3: usages.
  for (const Project& p : lock.project)
    for (const std::string& u : p.usages)
      if (!keys.contains(u)) return Unexpected(LockValidationError::UnsatisfiedUsage{u, p.name});

  // Pass 4: sources.
  for (const Project& p : lock.project)
    for (const Source& s : p.sources)
      if (auto r = check_source(s, p); !r) return r;
  return {};
}

}  // namespace kestro::lock
