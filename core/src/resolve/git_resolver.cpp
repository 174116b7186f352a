#include "kestro/resolve/git_resolver.hpp"

#include <fmt/format.h>

#include "kestro/utils/ascii.hpp"

namespace kestro::resolve {

bool is_git_scheme(std::string_view scheme) {
  if (scheme.size() > 4 && eq_ignore_ascii_case(scheme.substr(0, 4), "git+")) scheme.remove_prefix(4);
  for (std::string_view known : {"ssh", "http", "https", "file"})
    if (eq_ignore_ascii_case(scheme, known)) return true;
  return false;
}

std::expected<GitResolver::Outcome, RemoteGitError> GitResolver::resolve(const UsageInContext& usage) {
  return std::visit(
      [](const auto& u) -> Outcome {
        using U = std::decay_t<decltype(u)>;
        if constexpr (std::is_same_v<U, UnknownUsage>) {
          return Outcome{Outcome::UnsupportedUsageType{"unrecognized usage with " + describe_usage_keys(u.object)}};
        } else if constexpr (std::is_same_v<U, ResourceUsageG<iri::Iri, semver::VersionReq>>) {
          const std::string_view scheme = u.resource.scheme();
          if (!is_git_scheme(scheme))
            return Outcome{Outcome::UnsupportedUsageType{fmt::format(
                "url scheme `{}` of IRI `{}` is not known to be git-compatible", scheme, u.resource.as_str())}};
          std::string_view text = u.resource.as_str();
          if (text.starts_with("git+")) text.remove_prefix(4);
          std::vector<GitCandidate> items;
          items.push_back(RemoteGitProject::create(std::string(text)));
          return Outcome::resolved_with(std::move(items));
        } else {
          return Outcome{Outcome::UnsupportedUsageType{"not a git usage"}};
        }
      },
      usage.usage);
}

}  // namespace kestro::resolve
