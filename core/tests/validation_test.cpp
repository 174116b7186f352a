#include "kestro/model/validation.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/log.hpp"

namespace kestro::model {
namespace {

InterchangeProjectInfoRaw info_with(std::string version, std::vector<InterchangeProjectUsageRaw> usages = {},
                                    std::optional<std::string> website = std::nullopt) {
  InterchangeProjectInfoRaw info;
  info.name = "n";
  info.version = std::move(version);
  info.usage = std::move(usages);
  info.website = std::move(website);
  return info;
}

InterchangeProjectUsageRaw resource(std::string iri, std::optional<std::string> constraint = std::nullopt) {
  return ResourceUsageRaw{std::move(iri), std::move(constraint)};
}

InterchangeProjectUsageRaw unknown(std::initializer_list<std::string> keys) {
  UnknownUsage u;
  for (const auto& k : keys) u.object.push_back(k, json::Value(true));
  return u;
}

// Every text of the information side, with the rendered chain (message and
// causes) of the first broken rule; an empty expectation means valid.
TEST(ValidateProjectInfo, Table) {
  struct Case {
    InterchangeProjectInfoRaw info;
    std::string rendered;
  } cases[] = {
      {info_with("1.2.3-rc.1+b5"), ""},
      {info_with("1.0", {unknown({"kind", "path"}), resource("x y")}),
       "`.project.json` declares a usage this kestro cannot interpret, with keys `kind`, `path`;\nit is either a "
       "usage kind from a newer kestro, in which case upgrading\nkestro will resolve it, or a malformed entry"},
      {info_with("1.0.0", {unknown({})}),
       "`.project.json` declares a usage this kestro cannot interpret, with keys no keys;\nit is either a usage kind "
       "from a newer kestro, in which case upgrading\nkestro will resolve it, or a malformed entry"},
      {info_with("01.2.3", {resource("urn:x:y", ">=1.0, <2.0")}, "docs/index"), "project has an invalid Semantic Version `01.2.3`"},
      {info_with("v1.2.3"), "project has an invalid Semantic Version `v1.2.3`"},
      {info_with("1.2"), "project has an invalid Semantic Version `1.2`"},
      {info_with("1.2.3.4"), "project has an invalid Semantic Version `1.2.3.4`"},
      {info_with("1.0.0", {}, "docs/index"), "invalid website (`website` field in `.project.json`) `docs/index`"},
      {info_with("1.0.0", {}, "https://a b"), "invalid website (`website` field in `.project.json`) `https://a b`"},
      {info_with("1.0.0", {resource("project")}), "invalid usage resource `project`"},
      {info_with("1.0.0", {resource("pkg:kestro/pub/name"), resource("pkg:Kestro/Pub/x")}), ""},
      {info_with("1.0.0", {resource("PKG:kestro/Pub/name")}),
       "malformed `pkg:kestro` IRI `PKG:kestro/Pub/name`: `PKG:kestro/Pub/name` is not a valid `pkg:kestro` PURL, "
       "but can be normalized to `pkg:kestro/pub/name`"},
      {info_with("1.0.0", {resource("pkg:kestro/pub")}),
       "malformed `pkg:kestro` IRI `pkg:kestro/pub`: `pkg:kestro/pub` is not a valid `pkg:kestro` PURL: expected "
       "exactly two `/`-separated segments after `pkg:kestro/`, found 1"},
      {info_with("1.0.0", {resource("urn:x:y", "latest")}),
       "failed to parse version constraint `latest` of usage\n`urn:x:y` as a Semantic Version constraint"},
      {info_with("1.0.0", {resource("urn:x:y", "")}),
       "failed to parse version constraint `` of usage\n`urn:x:y` as a Semantic Version constraint"},
      {info_with("1.0.0", {DirectoryUsageRaw{"../lib", "p", "n"}, KparPathUsageRaw{"a/b.kpar", "p", "n"}}), ""},
      {info_with("1.0.0", {DirectoryUsageRaw{"C:/lib", "p", "n"}}),
       "path usage for `p`/`n` references an invalid path\n  caused by: path `C:/lib` is absolute\n"},
      {info_with("1.0.0", {KparPathUsageRaw{"dist/", "p", "n"}}),
       "path usage for `p`/`n` references an invalid path\n  caused by: path `dist/` is a directory path\n(ends with "
       "a separator `/`), but a file path was expected\n"},
  };
  for (const auto& c : cases) {
    auto r = validate_project_info(c.info);
    if (c.rendered.empty()) {
      EXPECT_TRUE(r) << r.error().message();
      continue;
    }
    ASSERT_FALSE(r) << c.rendered;
    std::string rendered = render_error_chain(r.error());
    // Parser messages are the facilities' own: compare the head line(s) and
    // the fixed causes only.
    if (c.rendered.find("caused by") == std::string::npos) rendered = r.error().message();
    EXPECT_EQ(rendered, c.rendered);
  }
}

TEST(ValidateProjectInfo, CausesAreHandedOn) {
  auto r = validate_project_info(info_with("1.0.0", {resource("urn:x", "latest")}));
  ASSERT_FALSE(r);
  EXPECT_NE(r.error().cause(), nullptr);
  auto unknown_kind = validate_project_info(info_with("1.0.0", {unknown({"a"})}));
  EXPECT_EQ(unknown_kind.error().cause(), nullptr);
  auto typed = validate_project_info(info_with("2.0.0", {resource("urn:a", "^1.2")}, "https://e.org/x"));
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->version.major, 2u);
  EXPECT_EQ(typed->website->as_str(), "https://e.org/x");
  EXPECT_EQ(std::get<0>(typed->usage[0]).resource.as_str(), "urn:a");
}

InterchangeProjectMetadataRaw meta_with(std::string created = "2025-01-01T00:00:00Z") {
  InterchangeProjectMetadataRaw meta;
  meta.created = std::move(created);
  return meta;
}

InterchangeProjectMetadataRaw meta_checksum(std::string path, std::string value, std::string algorithm) {
  auto meta = meta_with();
  meta.checksum.emplace();
  meta.checksum->insert_or_assign(std::move(path), InterchangeProjectChecksumRaw{std::move(value), std::move(algorithm)});
  return meta;
}

TEST(ValidateProjectMeta, Table) {
  std::string hex64(64, 'a');
  auto index_first = meta_checksum("a.sysml", "x", "sha256");
  index_first.index.insert_or_assign("P", "../Parts.sysml");
  struct Case {
    InterchangeProjectMetadataRaw meta;
    std::string rendered;
  } cases[] = {
      {index_first,
       "exported symbol index (`index` field in `.meta.json`) references an invalid path\n  caused by: path "
       "`../Parts.sysml` contains a forbidden relative component `..`\n"},
      {meta_checksum("src/", "0123abcd", "MD5"),
       "source file checksum (`checksum` field in `.meta.json`) references an invalid path\n  caused by: path `src/` "
       "is a directory path\n(ends with a separator `/`), but a file path was expected\n"},
      {meta_checksum("a", hex64, "sha256"),
       "invalid file checksum algorithm `sha256`, expected one of:\nSHA1, SHA224, SHA256, SHA-384, SHA3-256, "
       "SHA3-384, SHA3-512\nBLAKE2b-256, BLAKE2b-384, BLAKE2b-512, BLAKE3\nMD2, MD4, MD5, MD6, ADLER32"},
      {meta_checksum("a", std::string(63, 'a'), "SHA256"),
       "invalid hex checksum length for SHA256: expected 64 char(s), got 63 char(s)"},
      {meta_checksum("a", "\xC3\xA9" + std::string(62, 'a'), "SHA256"),
       "checksum `\xC3\xA9" + std::string(62, 'a') + "`\ncontains invalid symbols (only `A-Fa-f0-9` are allowed)"},
      {meta_checksum("a", std::string(63, 'a') + "g", "SHA256"),
       "checksum `" + std::string(63, 'a') + "g`\ncontains invalid symbols (only `A-Fa-f0-9` are allowed)"},
      {meta_checksum("a", std::string(64, 'F'), "SHA256"), ""},
      {meta_checksum("a", "", "NONE"), ""},
      {meta_checksum("a", "", "MD6"), ""},
      {meta_checksum("a", "0a1b2c3", "ADLER32"), "invalid hex checksum length for ADLER32: expected 8 char(s), got 7 char(s)"},
      {meta_with("2025-02-29T00:00:00Z"), "failed to parse `2025-02-29T00:00:00Z` as RFC3339 datetime: "},
      {meta_with("2025-03-01T12:00:00"), "failed to parse `2025-03-01T12:00:00` as RFC3339 datetime: "},
      {meta_with("2025-03-01T12:00:00Z x"), "failed to parse `2025-03-01T12:00:00Z x` as RFC3339 datetime: "},
      {meta_with("2025-03-01 12:00:00z"), ""},
      {meta_with("20250301T120000+0100"), ""},
      {meta_with("2025-03-01T12:00:00Z[Europe/Paris]"), ""},
  };
  for (const auto& c : cases) {
    auto r = validate_project_meta(c.meta);
    if (c.rendered.empty()) {
      EXPECT_TRUE(r) << r.error().message();
      continue;
    }
    ASSERT_FALSE(r) << c.rendered;
    std::string rendered = render_error_chain(r.error());
    if (c.rendered.ends_with("datetime: ")) {
      EXPECT_TRUE(rendered.starts_with(c.rendered)) << rendered;
      EXPECT_GT(rendered.size(), c.rendered.size());
      EXPECT_EQ(r.error().cause(), nullptr);
    } else {
      EXPECT_EQ(rendered, c.rendered);
    }
  }
}

TEST(ValidateProjectMeta, UnknownMetamodelWarnsOncePerValidation) {
  struct Case {
    std::string metamodel;
    bool warns;
    bool valid;
  } cases[] = {
      {"https://www.omg.org/spec/KerML/20250201", false, true},
      {"https://www.omg.org/spec/SysML/20250201", false, true},
      {"https://www.omg.org/spec/SysML/20250201/", true, true},
      {"sysml", true, false},
  };
  for (const auto& c : cases) {
    auto meta = meta_with("not a time");
    meta.metamodel = c.metamodel;
    log::ScopedCapture capture;
    auto r = validate_project_meta(meta);
    ASSERT_FALSE(r);  // the time fails after the metamodel is judged
    EXPECT_TRUE(c.valid ? r.error().holds<ProjectValidationError::InvalidCreatedTime>()
                        : r.error().holds<ProjectValidationError::InvalidMetamodel>());
    if (c.warns) {
      ASSERT_EQ(capture.records().size(), 1u) << c.metamodel;
      EXPECT_EQ(capture.records()[0].level, log::Level::Warn);
      EXPECT_EQ(capture.records()[0].target, "kestro_core::model");
      EXPECT_EQ(capture.records()[0].message, "project uses an unknown metamodel `" + c.metamodel + "`");
    } else {
      EXPECT_TRUE(capture.records().empty());
    }
  }
  EXPECT_EQ(metamodel_base_iri(MetamodelKind::SysML), "https://www.omg.org/spec/SysML/20250201");
  std::string base;
  metamodel_base_iri(MetamodelKind::KerML, base);
  EXPECT_EQ(base.size(), 31u);
}

TEST(ProjectMetaToRaw, WritesUtcWithTrimmedFraction) {
  struct Case {
    std::string created;
    std::string written;
  } cases[] = {
      {"2025-03-01T12:00:00.500+01:00", "2025-03-01T11:00:00.5Z"},
      {"2025-01-01T12:00:00+02:00", "2025-01-01T10:00:00Z"},
      {"2025-01-01T00:00:00.000Z", "2025-01-01T00:00:00Z"},
      {"2025-01-01T00:00:00.123456789Z", "2025-01-01T00:00:00.123456789Z"},
  };
  for (const auto& c : cases) {
    auto meta = meta_checksum("a.sysml", std::string(64, 'A'), "SHA256");
    meta.index.insert_or_assign("B", "b.sysml");
    meta.index.insert_or_assign("A", "a.sysml");
    meta.created = c.created;
    meta.includes_derived = false;
    auto v = validate_project_meta(meta);
    ASSERT_TRUE(v) << v.error().message();
    auto raw = project_meta_to_raw(std::move(*v));
    EXPECT_EQ(raw.created, c.written);
    meta.created = c.written;
    EXPECT_EQ(raw, meta);
  }
}

// What is read is written back with a four-digit year and reads again as the
// same instant; an instant whose UTC year leaves 0000-9999 is refused when read.
TEST(ProjectMetaToRaw, BoundaryInstantsReadWriteRead) {
  struct Case {
    std::string created;
    std::string written;  // empty: refused, `utc` shown in the message
    std::string utc;
  } cases[] = {
      {"0000-01-01T00:00:00Z", "0000-01-01T00:00:00Z", ""},
      {"0000-01-01T23:59:00+23:59", "0000-01-01T00:00:00Z", ""},
      {"-000001-12-31T23:59:59-00:01", "0000-01-01T00:00:59Z", ""},
      {"9999-12-31T23:59:59.999999999Z", "9999-12-31T23:59:59.999999999Z", ""},
      {"9999-12-31T00:00:59-23:59", "9999-12-31T23:59:59Z", ""},
      {"+009999-12-31T23:58:59-00:01", "9999-12-31T23:59:59Z", ""},
      {"9999-12-31T23:59:60Z", "9999-12-31T23:59:59Z", ""},
      {"0000-01-01T00:00:00+00:01", "", "-000001-12-31T23:59:00Z"},
      {"0000-01-01T23:58:59.5+23:59", "", "-000001-12-31T23:59:59.5Z"},
      {"-000001-01-01T00:00:00Z", "", "-000001-01-01T00:00:00Z"},
      {"-009999-01-01T00:00:00Z", "", "-009999-01-01T00:00:00Z"},
      {"9999-12-31T23:59:59-23:59", "", "+010000-01-01T23:58:59Z"},
      {"9999-12-31T23:59:59-00:01", "", "+010000-01-01T00:00:59Z"},
      {"9999-12-31T00:01:00-23:59", "", "+010000-01-01T00:00:00Z"},
  };
  for (const auto& c : cases) {
    auto v = validate_project_meta(meta_with(c.created));
    if (c.written.empty()) {
      ASSERT_FALSE(v) << c.created;
      EXPECT_EQ(render_error_chain(v.error()), "failed to parse `" + c.created + "` as RFC3339 datetime: the instant is " +
                                                   c.utc + " in UTC, outside the years 0000 to 9999");
      continue;
    }
    ASSERT_TRUE(v) << c.created << ": " << v.error().message();
    const auto instant = v->created;
    auto raw = project_meta_to_raw(std::move(*v));
    EXPECT_EQ(raw.created, c.written) << c.created;
    auto again = validate_project_meta(raw);
    ASSERT_TRUE(again) << raw.created << ": " << again.error().message();
    EXPECT_EQ(again->created, instant) << c.created;
  }
}

}  // namespace
}  // namespace kestro::model
