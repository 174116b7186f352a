// Scopes of index locations, the minimal prefix list and the glob texts a
// login stores. How the globs match is the URL-glob matcher's concern; here
// only their text is checked.
#include "kestro/auth/scope.hpp"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kestro::auth {
namespace {

using Strings = std::vector<std::string>;

IndexLocation location(std::string_view text) {
  auto l = parse_index_location(text);
  if (!l) ADD_FAILURE() << text << ": " << l.error().message();
  return *l;
}

url::Url parse_url(std::string_view text) { return *url::Url::parse(text); }

TEST(AuthScope, ScopeOfLocations) {
  struct Case {
    const char* location;
    const char* scope;
  } cases[] = {
      {"https://Index.Example.org/idx", "https://index.example.org/idx/"},
      {"https://h/idx?t=1&u=2", "https://h/idx/"},
      {"https://h/api/files/{path}/raw?ref=main", "https://h/api/files/"},
      {"https://h/files/pkg-{path_raw}.json", "https://h/files/"},
      {"https://h/x?file={path}", "https://h/"},
      {"https://h/a/b?dir=c/{path}", "https://h/a/b?dir=c/"},
      {"http://[::1]:8443/idx/{path}", "http://[::1]:8443/idx/"},
  };
  for (const Case& c : cases) EXPECT_EQ(credential_scope_url(location(c.location)), c.scope) << c.location;
}

TEST(AuthScope, UrlWithoutQueryKeepsTheFragment) {
  EXPECT_EQ(url_without_query(parse_url("https://h/a/?q=1#f")).href(), "https://h/a/#f");
  EXPECT_EQ(url_without_query(parse_url("https://h/a/?")).href(), "https://h/a/");
  EXPECT_EQ(url_without_query(parse_url("https://h/a/#f?x")).href(), "https://h/a/#f?x");
}

TEST(AuthScope, PrefixListStaysMinimal) {
  struct Case {
    const char* what;
    Strings list;
    const char* added;
    Strings result;
  } cases[] = {
      {"equal entry", {"https://h/a/"}, "https://h/a/", {"https://h/a/"}},
      {"covered by an entry", {"https://h/"}, "https://h/a/", {"https://h/"}},
      {"covers entries, others keep their order",
       {"https://h/a/x/", "https://g/", "https://h/a/y/"},
       "https://h/a/",
       {"https://g/", "https://h/a/"}},
      {"unrelated goes last", {"https://h/a/"}, "https://g/", {"https://h/a/", "https://g/"}},
      {"byte prefix, not path prefix", {"https://h/ab/"}, "https://h/a", {"https://h/a"}},
      {"empty list", {}, "https://h/", {"https://h/"}},
  };
  for (const Case& c : cases) {
    Strings list = c.list;
    add_scope_prefix(list, c.added);
    EXPECT_EQ(list, c.result) << c.what;
  }
}

TEST(AuthScope, LoginGlobs) {
  struct Case {
    const char* what;
    const char* argument;
    std::optional<const char*> index_root;
    std::optional<const char*> api_root;
    Strings globs;
  } cases[] = {
      {"no endpoints: the argument's scope alone", "https://h/idx/", std::nullopt, std::nullopt, {"https://h/idx/**"}},
      {"index root with the same scope", "https://h/idx", "https://h/idx/", std::nullopt, {"https://h/idx/**"}},
      {"index root above the argument replaces it, API follows",
       "https://h/idx/sub/",
       "https://h/idx/",
       "https://api.h/v/",
       {"https://h/idx/**", "https://api.h/v/**"}},
      {"index root below the argument is dropped", "https://h/", "https://h/idx/", std::nullopt, {"https://h/**"}},
      {"API root under the index scope adds nothing", "https://h/", "https://h/", "https://h/api/", {"https://h/**"}},
      {"API root query left out", "https://h/idx/", "https://h/idx/", "https://api.h/v1/?token=x",
       {"https://h/idx/**", "https://api.h/v1/**"}},
      {"API root without endpoints' index root is ignored", "https://h/idx/", std::nullopt, "https://api.h/",
       {"https://h/idx/**"}},
      {"template argument", "https://h/files/{path}/raw", "https://cdn.h/i/", std::nullopt,
       {"https://h/files/**", "https://cdn.h/i/**"}},
      {"IPv6 brackets each enclosed", "http://[::1]:8080/i/", std::nullopt, std::nullopt, {"http://[[]::1[]]:8080/i/**"}},
      {"glob characters escaped", "https://h/a*b[c]/", std::nullopt, std::nullopt,
       {"https://h/a[*]b[[]c[]]/**"}},
  };
  for (const Case& c : cases) {
    const std::string scope = credential_scope_url(location(c.argument));
    std::optional<IndexLocation> root;
    std::optional<url::Url> api;
    if (c.index_root) root = location(*c.index_root);
    if (c.api_root) api = parse_url(*c.api_root);
    EXPECT_EQ(credential_globs_for_index(scope, root ? &*root : nullptr, api ? &*api : nullptr), c.globs) << c.what;
  }
}

TEST(AuthScope, LiteralGlobText) {
  EXPECT_EQ(literal_prefix_glob("*?[]{}"), "[*][?][[][]][{][}]**");
  EXPECT_EQ(literal_prefix_glob(""), "**");
  EXPECT_EQ(literal_prefix_glob("https://h/%7B/"), "https://h/%7B/**");
}

}  // namespace
}  // namespace kestro::auth
