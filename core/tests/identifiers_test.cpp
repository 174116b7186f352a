#include "kestro/model/identifiers.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "kestro/utils/iri_normalize.hpp"

namespace kestro::model {
namespace {

TEST(Identifiers, DefaultProjectIdentifier) {
  struct Case {
    const char* publisher;
    const char* name;
    const char* id;
  } cases[] = {
      {"Acme Labs", "Widget Core", "pkg:kestro/acme-labs/widget-core"},
      {"Acme", "My.Tool", "pkg:kestro/acme/my.tool"},
      {"acme.inc", "My Tool", "urn:kestro:acme.inc/My%20Tool"},  // no `.` in a publisher
      {"ab", "Widgets", "urn:kestro:ab/Widgets"},
      {"pub/x", "a:b%c~_", "urn:kestro:pub%2Fx/a%3Ab%25c~_"},
      {"\xC3\x84" "BC", "na\xC3\xAFve \xEE\x80\x80", "urn:kestro:\xC3\x84" "BC/na\xC3\xAFve%20%EE%80%80"},  // private use encoded
      {"abc", "a\xFF" "b", "urn:kestro:abc/a%FFb"},
  };
  for (const Case& c : cases) EXPECT_EQ(default_project_identifier(c.publisher, c.name), c.id) << c.publisher;
}

TEST(Identifiers, CanonicalizeIri) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"HTTPS://Example.COM:443", "https://example.com/"},
      {"http://Example.com:80", "http://example.com/"},
      {"https://h?q", "https://h/?q"},
      {"https://h#f", "https://h/#f"},
      {"http://h:8080", "http://h:8080/"},
      {"http://h:", "http://h/"},
      {"https://h:80/x", "https://h:80/x"},
      {"urn:kestro:a/./b/../c", "urn:kestro:a/c"},
      {"http://h/a/./b/../c/%7e%41%2f%2a%e4%bd%8b?%7E%3d#%7a%ee%80%80", "http://h/a/c/~A%2F%2A\xE4\xBD\x8B?~%3D#z%EE%80%80"},
      {"http://User@H/", "http://User@h/"},
      {"http://[2001:DB8:0:0:0:0:0:1]:80/", "http://[2001:db8::1]/"},
      {"http://B\xC3\xBC\x63her.de/p", "http://xn--bcher-kva.de/p"},
      {"http://%42%C3%BC.de/", "http://xn--b-eha.de/"},  // the same as http://b\u00FC.de/
      {"Pkg:KESTRO/Acme/W", "pkg:KESTRO/Acme/W"},
      {"mailto:A@B.com", "mailto:A@B.com"},
      {"file:///a/./b", "file:///a/b"},
      // Dot segments removed from a path without authority leave no "//"
      // that would read as one.
      {"x:/.//y:4/p", "x:/.//y:4/p"},
      {"x:/a/..//y", "x:/.//y"},
  };
  for (const Case& c : cases) {
    auto got = iri::canonicalize_iri(c.in);
    ASSERT_TRUE(got) << c.in << ": " << got.error().message();
    EXPECT_EQ(*got, c.out) << c.in;
  }
  auto no_scheme = iri::canonicalize_iri("example.com/x");
  ASSERT_FALSE(no_scheme);
  EXPECT_EQ(no_scheme.error().message(), "IRI is not a well-formed RFC 3987 IRI: no scheme found in an absolute IRI");
  // Hosts that UTS 46 refuses, or maps to characters no host may hold (the
  // macron becomes a space and a combining mark).
  struct Refused {
    const char* in;
    const char* host;
  } refused[] = {
      {"http://\xE2\x80\x8D\xC3\xA9.com/", "\xE2\x80\x8D\xC3\xA9.com"},
      {"htp://@\xC2\xAF'r", "\xC2\xAF'r"},
      // The escape's last letter composes with the combining breve.
      {"http://%AA\xCC\x86.com/", "%AA\xCC\x86.com"},
  };
  for (const Refused& c : refused) {
    auto got = iri::canonicalize_iri(c.in);
    ASSERT_FALSE(got) << c.in << ": " << *got;
    EXPECT_EQ(got.error().message(),
              fmt::format("host `{}` is not a valid IDN and cannot be converted to Punycode", c.host));
  }
}

TEST(Identifiers, SplitIndexIri) {
  auto purl = split_index_iri("pkg:kestro/acme/widgets");
  ASSERT_TRUE(purl);
  EXPECT_EQ(*purl, (IndexProjectKey{IndexProjectKey::Purl{"acme", "widgets"}}));
  // Spellings that differ in case or a default port share one key.
  for (const char* spelling : {"https://example.com/p", "HTTPS://EXAMPLE.com:443/p", "https://Example.COM/./p"}) {
    auto key = split_index_iri(spelling);
    ASSERT_TRUE(key) << spelling;
    EXPECT_EQ(*key, (IndexProjectKey{IndexProjectKey::Iri{"https://example.com/p"}})) << spelling;
  }
  auto other_case = split_index_iri("pkg:KESTRO/acme/widgets");
  ASSERT_TRUE(other_case);
  EXPECT_EQ(*other_case, (IndexProjectKey{IndexProjectKey::Iri{"pkg:KESTRO/acme/widgets"}}));

  auto bad_purl = split_index_iri("pkg:kestro/acme");
  ASSERT_FALSE(bad_purl);
  EXPECT_EQ(render_error_chain(bad_purl.error()),
            "malformed `pkg:kestro` IRI `pkg:kestro/acme`\n  caused by: `pkg:kestro/acme` is not a valid `pkg:kestro` "
            "PURL: expected exactly two `/`-separated segments after `pkg:kestro/`, found 1\n");
  auto bad_iri = split_index_iri("no scheme");
  ASSERT_FALSE(bad_iri);
  EXPECT_EQ(bad_iri.error().message(), "cannot canonicalize IRI `no scheme` for `_iri` bucket");
  ASSERT_NE(bad_iri.error().cause(), nullptr);
  EXPECT_TRUE(bad_iri.error().cause()->message().starts_with("IRI is not a well-formed RFC 3987 IRI: "));
}

TEST(Identifiers, IndexAddChecks) {
  EXPECT_EQ(normalize_index_name("My.Tool", "x.kpar"), "my.tool");
  EXPECT_EQ(normalize_index_publisher("Acme Labs", "x.kpar"), "acme-labs");
  auto name = normalize_index_name("a..b", "/tmp/x.kpar");
  ASSERT_FALSE(name);
  EXPECT_EQ(name.error().message(), "invalid name `a..b` in .project.json of KPAR /tmp/x.kpar");
  auto publisher = normalize_index_publisher("a.b", "/tmp/x.kpar");
  ASSERT_FALSE(publisher);
  EXPECT_EQ(publisher.error().message(), "invalid publisher `a.b` in .project.json of KPAR /tmp/x.kpar");
  EXPECT_EQ(format_sha256_digest("ab12"), "sha256:ab12");
}

TEST(Identifiers, EnvDirCandidates) {
  EnvDirCandidates state("acme-widgets_", "x");
  EXPECT_EQ(next_env_dir_candidate(state), "acme-widgets_x");
  EXPECT_EQ(next_env_dir_candidate(state), "acme-widgets_1_x");
  EXPECT_EQ(next_env_dir_candidate(state), "acme-widgets_2_x");
  for (int i = 3; i < 11; ++i) next_env_dir_candidate(state);
  EXPECT_EQ(next_env_dir_candidate(state), "acme-widgets_11_x");
}

}  // namespace
}  // namespace kestro::model
