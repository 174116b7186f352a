#include "kestro/env/install_location.hpp"

#include <gtest/gtest.h>

namespace kestro::env {
namespace {

iri::Iri parse(std::string_view text) {
  auto parsed = iri::Iri::parse(text);
  if (!parsed) throw std::runtime_error(std::string(text) + ": " + parsed.error().message());
  return std::move(*parsed);
}

TEST(IriDisplayName, Cases) {
  struct Case {
    std::string iri;
    std::string name;
  } cases[] = {
      {"pkg:kestro/acme/widgets", "acme-widgets"},
      {"PKG:kestro/acme/widgets", "acme-widgets"},
      // Not a valid package identifier: the generic rules.
      {"pkg:kestro/Acme/Widgets", "kestro.acme.widgets"},
      {"pkg:kestro/acme/widgets/extra", "kestro.acme.widgets.extra"},
      {"urn:kestro:acme/widgets", "acme.widgets"},
      {"urn:kestro:acme/widgets?x=1", "acme.widgets-x-1"},
      {"urn:isbn:123", "isbn.123"},
      {"urn:kestro:a..b", "a-b"},
      {"urn:kestro:my_lib-2.0", "my_lib-2.0"},
      {"urn:kestro:a%20-%20b", "a_b"},
      {"urn:kestro:Stra\u00dfe", "strasse"},
      {"file:///home/user/My%20Project.KPAR", "home.user.my_project"},
      {"file:///C:/Users/x", "c..users.x"},
      {"file:///", "project"},
      {"urn:kestro:", "project"},
      // Host, then path; userinfo, port and fragment play no part.
      {"https://alpha.beta/x/Widgets.kpar", "alpha.beta-x.widgets"},
      {"https://user@Host.Example:8080/p#frag", "host.example-p"},
      // Punycode labels decoded; one that does not decode is kept as written
      // and cleaned like any other text.
      {"https://xn--bcher-kva.example/lib", "b\u00fccher.example-lib"},
      {"https://xn--99999999999.example/lib", "xn-99999999999.example-lib"},
      {"https://xn--a-rc4g.example/lib", "xn-a-rc4g.example-lib"},
      {"https://b\u00fccher.example/lib", "b\u00fccher.example-lib"},
      // Escapes: UTF-8 decoded, anything else dropped.
      {"urn:kestro:caf%C3%A9", "caf\u00e9"},
      {"urn:kestro:a%FFb", "ab"},
      // A zero-width space stays inside and is trimmed at the ends; an
      // empty query adds a `-` that the trim removes.
      {"urn:kestro:a%E2%80%8Bb", "a\u200bb"},
      {"urn:kestro:ab%E2%80%8B", "ab"},
      {"urn:kestro:ab?", "ab"},
      // U+FFFD separates, and is dropped after a separator.
      {"urn:kestro:a%EF%BF%BDb", "a-b"},
      {"urn:kestro:a-%EF%BF%BDb", "a-b"},
      {"urn:kestro:a/-b", "a-b"},
      {"urn:kestro:a//b", "a..b"},
      {"urn:kestro:" + std::string(130, 'x'), std::string(120, 'x')},
      {"urn:kestro:" + std::string(119, 'x') + "%C3%A9", std::string(119, 'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(iri_display_name(parse(c.iri)), c.name) << c.iri;
}

EnvProject entry_at(std::string path, bool editable = false) {
  EnvProject e;
  e.name = "widgets";
  e.version = "1.0.0";
  e.path = std::move(path);
  e.editable = editable;
  return e;
}

TEST(ChooseEnvProjectPath, CountsPastTakenNames) {
  const iri::Iri widgets = parse("pkg:kestro/acme/widgets");
  struct Case {
    std::string what;
    std::vector<EnvProject> entries;
    std::string version;
    std::string chosen;
  } cases[] = {
      {"empty environment", {}, "1.0.0", "lib/acme-widgets_1.0.0"},
      {"two taken",
       {entry_at("lib/acme-widgets_1.0.0"), entry_at("lib/acme-widgets_1_1.0.0")},
       "1.0.0",
       "lib/acme-widgets_2_1.0.0"},
      {"two taken, other order",
       {entry_at("lib/acme-widgets_1_1.0.0"), entry_at("lib/acme-widgets_1.0.0")},
       "1.0.0",
       "lib/acme-widgets_2_1.0.0"},
      {"names compare byte for byte", {entry_at("lib/ACME-widgets_1.0.0")}, "1.0.0", "lib/acme-widgets_1.0.0"},
      {"editable entries are elsewhere", {entry_at("../acme", true), entry_at("../acme-widgets_1.0.0", true)},
       "1.0.0", "lib/acme-widgets_1.0.0"},
      {"only entries under lib", {entry_at("other/acme-widgets_1.0.0"), entry_at("./lib/acme-widgets_1.0.0")},
       "1.0.0", "lib/acme-widgets_1.0.0"},
      {"the last component counts", {entry_at("lib/sub/acme-widgets_1.0.0")}, "1.0.0", "lib/acme-widgets_1_1.0.0"},
      {"spelling of the path", {entry_at("lib//acme-widgets_1.0.0/")}, "1.0.0", "lib/acme-widgets_1_1.0.0"},
      {"an entry ending in no name", {entry_at("lib/.."), entry_at("lib")}, "1.0.0", "lib/acme-widgets_1.0.0"},
      {"the version is slugged", {}, "  2..3--Beta  ", "lib/acme-widgets_2.3-beta"},
      {"empty slug", {}, "---", "lib/acme-widgets_"},
      {"empty slug taken", {entry_at("lib/acme-widgets_")}, "", "lib/acme-widgets_1_"},
  };
  for (const Case& c : cases) EXPECT_EQ(choose_env_project_path(c.entries, widgets, c.version), c.chosen) << c.what;
}

TEST(IsUnderEnvLib, FirstComponent) {
  EXPECT_TRUE(is_under_env_lib(entry_at("lib/a")));
  EXPECT_TRUE(is_under_env_lib(entry_at("lib")));
  EXPECT_TRUE(is_under_env_lib(entry_at("lib//a/")));
  EXPECT_FALSE(is_under_env_lib(entry_at("./lib/a")));
  EXPECT_FALSE(is_under_env_lib(entry_at("/lib/a")));
  EXPECT_FALSE(is_under_env_lib(entry_at("library/a")));
  EXPECT_FALSE(is_under_env_lib(entry_at("")));
}

}  // namespace
}  // namespace kestro::env
