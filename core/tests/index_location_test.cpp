#include "kestro/index/index_location.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kestro/utils/sha256.hpp"

namespace kestro::index {
namespace {

std::string base_href(const IndexLocation& l) { return std::get<BaseUrl>(l).url.href(); }

TEST(IndexLocation, BaseUrls) {
  struct Case {
    const char* text;
    const char* href;
  } cases[] = {
      {"https://example.org/index", "https://example.org/index/"},
      {"https://example.org/index/", "https://example.org/index/"},
      {"https://EXAMPLE.org:443", "https://example.org/"},
      {"HTTP://Example.org:80/a/../b", "http://example.org/b/"},
      {"http://h:8080/x", "http://h:8080/x/"},
      {"https://h/idx?t=1", "https://h/idx/?t=1"},
      {"https://h/%7Bpath/", "https://h/%7Bpath/"},  // an encoded brace alone is no placeholder
  };
  for (const Case& c : cases) {
    auto l = parse_index_location(c.text);
    ASSERT_TRUE(l) << c.text << ": " << l.error().message();
    EXPECT_EQ(base_href(*l), c.href);
    EXPECT_EQ(display_index_location(*l), c.href);
  }
}

TEST(IndexLocation, Templates) {
  struct Case {
    const char* text;
    Template expected;
    const char* display;
  } cases[] = {
      {"https://example.org/{path}", {"https://example.org/", "", false}, "https://example.org/{path}"},
      {"HTTPS://Example.org/a/{path_raw}/raw",
       {"https://example.org/a/", "/raw", true},
       "https://example.org/a/{path_raw}/raw"},
      {"https://h:443/api/files/{path}/raw?ref=main",
       {"https://h/api/files/", "/raw?ref=main", false},
       "https://h/api/files/{path}/raw?ref=main"},
      {"https://h/x?file={path}&Ref=A B", {"https://h/x?file=", "&Ref=A B", false}, "https://h/x?file={path}&Ref=A B"},
      {"https://h/files/%7Bpath%7D/{path}", {"https://h/files/%7Bpath%7D/", "", false},
       "https://h/files/%7Bpath%7D/{path}"},
  };
  for (const Case& c : cases) {
    auto l = parse_index_location(c.text);
    ASSERT_TRUE(l) << c.text << ": " << l.error().message();
    ASSERT_TRUE(std::holds_alternative<Template>(*l)) << c.text;
    EXPECT_EQ(std::get<Template>(*l), c.expected) << c.text;
    EXPECT_EQ(display_index_location(*l), c.display);
  }
}

TEST(IndexLocation, Errors) {
  const std::string supported =
      ";\nsupported placeholders: `{path}` (percent-encoded, `/` becomes `%2F`) and\n`{path_raw}` (literal `/` "
      "separators)";
  struct Case {
    const char* text;
    std::string message;
    bool has_cause = false;
  } cases[] = {
      {"https://h/{PATH}", "index URL template `https://h/{PATH}` contains unknown placeholder `{PATH}` (did you mean "
                           "`{path}`?)" + supported},
      {"https://h/{Path_Raw}", "index URL template `https://h/{Path_Raw}` contains unknown placeholder `{Path_Raw}` "
                               "(did you mean `{path_raw}`?)" + supported},
      {"https://h/{}", "index URL template `https://h/{}` contains unknown placeholder `{}`" + supported},
      {"https://h/{version}", "index URL template `https://h/{version}` contains unknown placeholder `{version}`" +
                                  supported},
      {"https://h/{path}/{path_raw}",
       "index URL template `https://h/{path}/{path_raw}` must contain a `{path}` or `{path_raw}` placeholder\nexactly "
       "once, found 2 occurrences"},
      {"https://h/{path", "index URL template `https://h/{path` contains a stray `{` or `}`;\nsupported placeholders "
                          "are `{path}` and `{path_raw}`"},
      {"https://h/path}", "index URL template `https://h/path}` contains a stray `{` or `}`;\nsupported placeholders "
                          "are `{path}` and `{path_raw}`"},
      {"https://h/{{path}}", "index URL template `https://h/{{path}}` contains a stray `{` or `}`;\nsupported "
                             "placeholders are `{path}` and `{path_raw}`"},
      {"https://h/files/%7Bpath%7D/raw",
       "index URL `https://h/files/%7Bpath%7D/raw` contains `%7B`/`%7D` (percent-encoded braces);\ndid you mean a "
       "`{path}` template? Placeholders must be written\nliterally, e.g. `.../repository/files/{path}/raw?ref=main`"},
      {"https://h/%7bPATH_RAW%7D",
       "index URL `https://h/%7bPATH_RAW%7D` contains `%7B`/`%7D` (percent-encoded braces);\ndid you mean a `{path}` "
       "template? Placeholders must be written\nliterally, e.g. `.../repository/files/{path}/raw?ref=main`"},
      {"example.org/index", "index URL `example.org/index` is relative;\nindex locations must be absolute HTTP(S) URLs"},
      {"example.org/{path}",
       "index URL template `example.org/{path}` is relative;\ntemplates must be absolute HTTP(S) URLs"},
      {"https://{path}.example.org/",
       "index URL template `https://{path}.example.org/` expands to an invalid URL;\nnote that a placeholder may only "
       "appear in the path or query\nof an absolute HTTP(S) URL",
       true},
      {"https://h:{path}/",
       "index URL template `https://h:{path}/` expands to an invalid URL;\nnote that a placeholder may only appear in "
       "the path or query\nof an absolute HTTP(S) URL",
       true},
      {"https://{path}@h/",
       "index URL `https://<redacted>@h/` includes username or password;\nURL userinfo is not allowed"},
      {"ftp://h/idx", "index URL `ftp://h/idx` uses scheme `ftp`;\nonly `http` and `https` are supported"},
      {"FTP://h/{path}", "index URL `FTP://h/{path}` uses scheme `ftp`;\nonly `http` and `https` are supported"},
      {"https://user:secret@h/idx",
       "index URL `https://<redacted>@h/idx` includes username or password;\nURL userinfo is not allowed"},
      {"https://h/idx#top", "index URL `https://h/idx#top` includes a `#` fragment;\nfragments are never sent to the "
                            "server and are not allowed in index locations"},
      {"https://h/{path}#x", "index URL `https://h/{path}#x` includes a `#` fragment;\nfragments are never sent to the "
                             "server and are not allowed in index locations"},
      {"https://h:99999/", "invalid index URL `https://h:99999/`", true},
      {"https://user:pw@h:99999/", "invalid index URL `https://<redacted>@h:99999/`", true},
  };
  for (const Case& c : cases) {
    auto l = parse_index_location(c.text);
    ASSERT_FALSE(l) << c.text;
    EXPECT_EQ(l.error().message(), c.message) << c.text;
    EXPECT_EQ(l.error().cause() != nullptr, c.has_cause) << c.text;
  }
  auto invalid = parse_index_location("https://h:99999/");
  EXPECT_EQ(render_error_chain(invalid.error()),
            "invalid index URL `https://h:99999/`\n  caused by: invalid port number\n");
}

TEST(IndexLocation, RedactUserinfo) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"https://a@b@h/p?x=@", "https://<redacted>@h/p?x=@"},
      {"user:pw@h/x", "<redacted>@h/x"},
      {"https://h/p?x=@", "https://h/p?x=@"},
      {"https://u:p@h", "https://<redacted>@h"},
      {"https://h#@", "https://h#@"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(redact_url_userinfo(c.in), c.out) << c.in;
}

TEST(IndexLocation, FileUrls) {
  auto base = *parse_index_location("https://h/idx");
  auto tmpl = *parse_index_location("https://h/api/files/{path}/raw?ref=main");
  auto raw = *parse_index_location("https://h/r/{path_raw}/raw");
  auto query_base = *parse_index_location("https://h/idx?t=1");
  const std::string_view segs[] = {"acme", "widgets", "1.2.0", ".project.json"};
  struct Case {
    const IndexLocation* location;
    std::vector<std::string_view> segments;
    const char* href;
  } cases[] = {
      {&tmpl, {segs, segs + 4}, "https://h/api/files/acme%2Fwidgets%2F1.2.0%2F.project.json/raw?ref=main"},
      {&base, {segs, segs + 4}, "https://h/idx/acme/widgets/1.2.0/.project.json"},
      {&raw, {segs, segs + 4}, "https://h/r/acme/widgets/1.2.0/.project.json/raw"},
      {&query_base, {"index.json"}, "https://h/idx/index.json?t=1"},
      // A build-metadata version: kept under a base, encoded under a template.
      {&base, {"1.0.0+b1"}, "https://h/idx/1.0.0+b1"},
      {&tmpl, {"1.0.0+b1"}, "https://h/api/files/1.0.0%2Bb1/raw?ref=main"},
      {&base, {"a/b c"}, "https://h/idx/a%2Fb%20c"},
      {&tmpl, {"a/b c~"}, "https://h/api/files/a%2Fb%20c~/raw?ref=main"},
  };
  for (const Case& c : cases) EXPECT_EQ(index_project_file_url(*c.location, c.segments).href(), c.href);
  EXPECT_EQ(index_json_url(base).href(), "https://h/idx/index.json");
  EXPECT_EQ(index_file_url(tmpl, "kestro-index-config.json").href(),
            "https://h/api/files/kestro-index-config.json/raw?ref=main");
}

TEST(IndexLocation, ProjectUrls) {
  auto base = *parse_index_location("https://h/idx/");
  EXPECT_EQ(versions_json_url(base, "pkg:kestro/acme/widgets")->href(), "https://h/idx/acme/widgets/versions.json");
  EXPECT_EQ(index_version_file_url(base, "pkg:kestro/acme/widgets", "1.0.0")->href(),
            "https://h/idx/acme/widgets/1.0.0/.project.json");
  EXPECT_EQ(index_version_meta_url(base, "pkg:kestro/acme/widgets", "1.0.0")->href(),
            "https://h/idx/acme/widgets/1.0.0/.meta.json");
  EXPECT_EQ(index_version_kpar_url(base, "pkg:kestro/acme/widgets", "1.0.0")->href(),
            "https://h/idx/acme/widgets/1.0.0/project.kpar");
  const std::string hash = sha256_hex("https://example.com/p");
  for (const char* spelling : {"https://example.com/p", "HTTPS://Example.COM:443/p"})
    EXPECT_EQ(versions_json_url(base, spelling)->href(), "https://h/idx/_iri/" + hash + "/versions.json");
  auto key = model::split_index_iri("HTTPS://Example.COM:443/p");
  EXPECT_EQ(index_project_path_string(*key), "_iri/" + hash);
  EXPECT_EQ(index_project_display(*key), "https://example.com/p");
  EXPECT_EQ(index_project_display(*model::split_index_iri("pkg:kestro/acme/widgets")), "pkg:kestro/acme/widgets");
  auto bad = versions_json_url(base, "pkg:kestro/Acme/widgets");
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message(), "malformed `pkg:kestro` IRI `pkg:kestro/Acme/widgets`");
}

TEST(IndexLocation, CheckHttpUserinfo) {
  EXPECT_EQ(check_http_url_userinfo(*url::Url::parse("ftp://h/")), HttpUrlUserinfo::NotHttp);
  EXPECT_EQ(check_http_url_userinfo(*url::Url::parse("ftp://u@h/")), HttpUrlUserinfo::NotHttp);
  EXPECT_EQ(check_http_url_userinfo(*url::Url::parse("https://u@h/")), HttpUrlUserinfo::HasUserinfo);
  EXPECT_EQ(check_http_url_userinfo(*url::Url::parse("https://:p@h/")), HttpUrlUserinfo::HasUserinfo);
  EXPECT_EQ(check_http_url_userinfo(*url::Url::parse("https://h/")), HttpUrlUserinfo::Plain);
}

TEST(IndexLocation, CollectLocations) {
  const std::string builtin = "https://default.example/";
  auto entry = [](const char* name, std::optional<bool> is_default) {
    return model::Index{std::nullopt, fmt::format("https://{}.example/", name), is_default};
  };
  struct Case {
    std::vector<model::Index> configured;
    std::vector<std::string> explicit_urls;
    std::vector<std::string> explicit_defaults;
    std::vector<std::string> expected;
  } cases[] = {
      {{}, {}, {}, {builtin}},
      {{entry("a", false), entry("b", true), entry("c", std::nullopt)},
       {},
       {},
       {"https://a.example/", "https://c.example/", "https://b.example/"}},
      {{entry("a", false), entry("b", true), entry("c", std::nullopt)},
       {"https://x.example/"},
       {"https://d.example/"},
       {"https://x.example/", "https://a.example/", "https://c.example/", "https://d.example/"}},
      {{entry("b1", true), entry("a", std::nullopt), entry("b2", true)},
       {},
       {},
       {"https://a.example/", "https://b1.example/", "https://b2.example/"}},
      {{entry("a", false)}, {"https://a.example/"}, {}, {"https://a.example/", "https://a.example/", builtin}},
  };
  for (auto& c : cases) {
    auto got = collect_index_locations(c.configured, c.explicit_urls, {builtin}, c.explicit_defaults);
    ASSERT_TRUE(got);
    std::vector<std::string> shown;
    for (const auto& l : *got) shown.push_back(display_index_location(l));
    EXPECT_EQ(shown, c.expected);
  }
  // A bad configured URL fails the whole list, even after a good explicit one.
  auto bad = collect_index_locations({model::Index{std::nullopt, "https://h/#frag", std::nullopt}},
                                     {"https://x.example/"}, {builtin}, {});
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().holds<IndexLocationError::Fragment>());
}

}  // namespace
}  // namespace kestro::index
