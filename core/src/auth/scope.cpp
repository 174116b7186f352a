#include "kestro/auth/scope.hpp"

#include "kestro/utils/error.hpp"

namespace kestro::auth {

url::Url url_without_query(const url::Url& url) {
  const auto query = url.query();
  if (!query) return url;
  // The serialisation holds the query right after its `?`.
  std::string text = url.href();
  const auto at = static_cast<std::size_t>(query->data() - url.href().data()) - 1;
  text.erase(at, query->size() + 1);
  auto parsed = url::Url::parse(text);
  if (!parsed) internal_error("a serialised URL without its query no longer parses");
  return std::move(*parsed);
}

std::string credential_scope_url(const IndexLocation& location) {
  if (const auto* base = std::get_if<BaseUrl>(&location)) return url_without_query(base->url).href();
  const std::string& prefix = std::get<Template>(location).prefix;
  // The location parser guarantees a `/` after the authority and a URL once
  // the prefix is cut after it.
  const auto slash = prefix.rfind('/');
  if (slash == std::string::npos) internal_error("an index template prefix without `/`");
  auto parsed = url::Url::parse(std::string_view(prefix).substr(0, slash + 1));
  if (!parsed) internal_error("an index template prefix that does not parse once cut after its last `/`");
  return parsed->href();
}

void add_scope_prefix(std::vector<std::string>& prefixes, std::string prefix) {
  for (const std::string& p : prefixes)
    if (prefix.starts_with(p)) return;
  std::erase_if(prefixes, [&](const std::string& p) { return p.starts_with(prefix); });
  prefixes.push_back(std::move(prefix));
}

std::string literal_prefix_glob(std::string_view prefix) {
  std::string glob;
  glob.reserve(prefix.size() + 2);
  for (char c : prefix) {
    if (std::string_view("*?[]{}").find(c) != std::string_view::npos) {
      glob += '[';
      glob += c;
      glob += ']';
    } else {
      glob += c;
    }
  }
  glob += "**";
  return glob;
}

std::vector<std::string> credential_globs_for_index(std::string_view scope, const IndexLocation* index_root,
                                                    const url::Url* api_root) {
  std::vector<std::string> prefixes{std::string(scope)};
  if (index_root) {
    add_scope_prefix(prefixes, credential_scope_url(*index_root));
    if (api_root) add_scope_prefix(prefixes, url_without_query(*api_root).href());
  }
  std::vector<std::string> globs;
  globs.reserve(prefixes.size());
  for (const std::string& p : prefixes) globs.push_back(literal_prefix_glob(p));
  return globs;
}

}  // namespace kestro::auth
