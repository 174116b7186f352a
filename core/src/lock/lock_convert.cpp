#include "kestro/lock/lock_convert.hpp"

namespace kestro::lock {

OverrideSource lock_source_to_override(const Source& source) {
  using K = OverrideSource::Kind;
  return std::visit(
      [](const auto& s) -> OverrideSource {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, EditableSource>) return {K::Editable, s.editable};
        if constexpr (std::is_same_v<S, LocalSrcSource>) return {K::LocalSrc, s.src_path};
        if constexpr (std::is_same_v<S, LocalKparSource>) return {K::LocalKpar, s.kpar_path};
        if constexpr (std::is_same_v<S, RemoteKparSource>) return {K::RemoteKpar, s.remote_kpar};
        if constexpr (std::is_same_v<S, IndexKparSource>) return {K::RemoteKpar, s.index_kpar};
        if constexpr (std::is_same_v<S, RemoteSrcSource>) return {K::RemoteSrc, s.remote_src};
        if constexpr (std::is_same_v<S, RemoteGitSource>) return {K::RemoteGit, s.remote_git};
      },
      source);
}

std::optional<EnvProjectChecksum> env_checksum_of_source(const Source& source) {
  return std::visit(
      [](const auto& s) -> std::optional<EnvProjectChecksum> {
        if constexpr (requires { s.checksum; }) return EnvProjectChecksum::src(s.checksum);
        if constexpr (requires { s.kpar_digest; }) return EnvProjectChecksum::kpar(s.kpar_digest);
        return std::nullopt;
      },
      source);
}

}  // namespace kestro::lock
