#include <gtest/gtest.h>

#include "kestro/model/records.hpp"
#include "kestro/project/record_files.hpp"
#include "kestro/utils/fs.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

std::string info_error(std::string_view text) {
  auto r = parse_project_info(text);
  return r ? std::string("ok") : r.error().message();
}

std::string meta_error(std::string_view text) {
  auto r = parse_project_meta(text);
  return r ? std::string("ok") : r.error().message();
}

TEST(InfoRecord, ReadingErrors) {
  struct Case {
    std::string_view input;
    std::string_view message;
  } cases[] = {
      {"{}", "missing field `name` at line 1 column 2"},
      {R"({"name":"a"})", "missing field `version` at line 1 column 12"},
      {"", "EOF while parsing a value at line 1 column 0"},
      {"null", "invalid type: null, expected struct InterchangeProjectInfoG at line 1 column 4"},
      {R"({"name":"a","name":"a","version":"1"})", "duplicate field `name` at line 1 column 18"},
      {R"({"name":"a","version":"1","maintainer":null})",
       "invalid type: null, expected a sequence at line 1 column 43"},
      {R"({"name":"a","version":"1","publisher":5})", "invalid type: integer `5`, expected a string at line 1 column 39"},
      {R"({"name":"a","version":"1","topic":["x",null]})", "invalid type: null, expected a string at line 1 column 43"},
      {R"({"Name":"a","version":"1"})", "missing field `name` at line 1 column 26"},
      {R"({"name":"a","version":"1"} {})", "trailing characters at line 1 column 28"},
      {R"(["n",null,null,"1",null])", "invalid length 6, expected struct InterchangeProjectInfoG with 9 elements at line 1 column 24"},
      {R"(["n",null,null,"1",null,[]])", "invalid length 6, expected struct InterchangeProjectInfoG with 9 elements at line 1 column 27"},
      {R"(["n",null,null,"1",null,[],null,[],[],1])", "trailing characters at line 1 column 39"},
      {R"({"name":"a","version":"1","usage":["pkg:kestro/a/b"]})",
       "data did not match any variant of untagged enum InterchangeProjectUsageG at line 1 column 52"},
  };
  for (const auto& c : cases) EXPECT_EQ(info_error(c.input), c.message) << c.input;
}

TEST(InfoRecord, ReadsAndDropsForeignKeys) {
  auto info = parse_project_info(R"({"x":1,"name":"n","version":"1.0.0","publisher":null,"maintainer":[],
      "extra":{"deep":[1,{"a":null}]},"extra":2,"website":"https://e.org"} )");
  ASSERT_TRUE(info) << info.error().message();
  EXPECT_EQ(info->name, "n");
  EXPECT_FALSE(info->publisher);
  EXPECT_TRUE(info->maintainer.empty());
  EXPECT_EQ(info->website, "https://e.org");

  auto foreign = parse_project_info(R"({"name":"n","x":[1e400,"\udc00"],"version":"1"})");
  ASSERT_TRUE(foreign) << foreign.error().message();
  EXPECT_EQ(foreign->version, "1");

  auto positional = parse_project_info(R"(["n","p","d","1.0.0","MIT",["m"],"w"])");
  ASSERT_TRUE(positional);
  EXPECT_EQ(positional->publisher, "p");
  EXPECT_EQ(positional->maintainer, std::vector<std::string>{"m"});
  EXPECT_TRUE(positional->topic.empty());
  EXPECT_TRUE(positional->usage.empty());
}

TEST(MetaRecord, ReadingRules) {
  struct Case {
    std::string_view input;
    std::string_view message;
  } cases[] = {
      {"{}", "missing field `index` at line 1 column 2"},
      {R"({"index":{}})", "missing field `created` at line 1 column 12"},
      {R"({"index":null,"created":"c"})", "invalid type: null, expected a map at line 1 column 13"},
      {R"({"index":{},"created":"c","includesDerived":"yes"})",
       "invalid type: string \"yes\", expected a boolean at line 1 column 49"},
      {R"({"index":{},"created":"c","checksum":null})", "ok"},
      {R"({"index":{"A":1},"created":"c"})", "invalid type: integer `1`, expected a string at line 1 column 15"},
      {R"([{},"c",null,null,null])", "invalid length 5, expected struct InterchangeProjectMetadataG with 6 elements at line 1 column 23"},
      {R"({"index":{},"created":"c","checksum":{"f":{"algorithm":"SHA1"}}})", "missing field `value` at line 1 column 62"},
      {R"({"index":{},"created":"c","checksum":{"f":{}}})", "missing field `value` at line 1 column 44"},
      {R"({"index":{},"created":"c","checksum":{"f":["x"]}})",
       "invalid length 1, expected struct InterchangeProjectChecksumRaw with 2 elements at line 1 column 47"},
      {R"({"index":{},"created":"c","checksum":{"f":["x","A","B"]}})", "trailing characters at line 1 column 52"},
      {R"({"index":{},"created":"c","checksum":{"f":"x"}})",
       "invalid type: string \"x\", expected struct InterchangeProjectChecksumRaw at line 1 column 45"},
      {R"({"index":{},"created":"c","checksum":{"f":{"value":"a","value":"b"}}})",
       "duplicate field `value` at line 1 column 62"},
  };
  for (const auto& c : cases) EXPECT_EQ(meta_error(c.input), c.message) << c.input;

  auto meta = parse_project_meta(R"({"index":{"A":"a.sysml","B":"b.sysml","A":"c.sysml"},"created":"c",
      "checksum":{"Parts.sysml":{"algorithm":"SHA1","value":"x","size":3},"Items.sysml":["0a1b2c3d","ADLER32"],
      "Parts.sysml":{"value":"y","algorithm":"MD5"}}})");
  ASSERT_TRUE(meta) << meta.error().message();
  ASSERT_EQ(meta->index.size(), 2u);
  EXPECT_EQ(meta->index.entries()[0], (std::pair<std::string, std::string>{"A", "c.sysml"}));
  EXPECT_EQ(meta->index.entries()[1].first, "B");
  ASSERT_TRUE(meta->checksum);
  ASSERT_EQ(meta->checksum->size(), 2u);
  EXPECT_EQ(meta->checksum->entries()[0].first, "Parts.sysml");
  EXPECT_EQ(meta->checksum->entries()[0].second, (InterchangeProjectChecksumRaw{"y", "MD5"}));
  EXPECT_EQ(meta->checksum->entries()[1].second, (InterchangeProjectChecksumRaw{"0a1b2c3d", "ADLER32"}));
}

TEST(ChecksumAlgorithmNames, ExactMatch) {
  EXPECT_EQ(parse_checksum_algorithm("SHA-384"), ChecksumAlgorithm::Sha384);
  EXPECT_EQ(parse_checksum_algorithm("NONE"), ChecksumAlgorithm::None);
  EXPECT_EQ(parse_checksum_algorithm("BLAKE2b-256"), ChecksumAlgorithm::Blake2b256);
  for (auto bad : {"SHA384", "sha256", " SHA256", "SHA256 ", "SHA512", "Sha256", "SHA-256", "BLAKE2B-256", ""})
    EXPECT_FALSE(parse_checksum_algorithm(bad)) << bad;
  for (int i = 0; i <= static_cast<int>(ChecksumAlgorithm::Adler32); ++i) {
    auto a = static_cast<ChecksumAlgorithm>(i);
    EXPECT_EQ(parse_checksum_algorithm(checksum_algorithm_name(a)), a);
  }
}

// Which variant a usage element reads as, and what is written back; what is
// written reads back as the same usage. A repeated key counts with its last
// value, as the usage keeps it.
TEST(Usage, VariantTieBreaks) {
  struct Case {
    std::string_view element;
    int variant;  // 0 Resource, 1 Directory, 2 KparPath, 3 Unknown
    std::string_view written;
  } cases[] = {
      {R"({"resource":"r","dir":"d","publisher":"p","name":"n"})", 0, R"({"resource":"r"})"},
      {R"({"resource":"r","versionConstraint":null})", 0, R"({"resource":"r"})"},
      {R"({"resource":"","versionConstraint":""})", 0, R"({"resource":"","versionConstraint":""})"},
      {R"({"dir":"d","kparPath":"k","publisher":"p","name":"n"})", 1, R"({"dir":"d","publisher":"p","name":"n"})"},
      {R"({"name":"n","kparPath":"k","publisher":"p"})", 2, R"({"kparPath":"k","publisher":"p","name":"n"})"},
      {R"({"resource":1})", 3, R"({"resource":1})"},
      {R"({"resource":"a","resource":"b"})", 0, R"({"resource":"b"})"},
      {R"({"resource":"urn:a:b","resource":"pkg:kestro/acme/base"})", 0, R"({"resource":"pkg:kestro/acme/base"})"},
      {R"({"resource":1,"resource":"b"})", 0, R"({"resource":"b"})"},
      {R"({"resource":"b","resource":1})", 3, R"({"resource":1})"},
      {R"({"resource":"r","versionConstraint":"1","versionConstraint":null})", 0, R"({"resource":"r"})"},
      {R"({"resource":"r","versionConstraint":null,"versionConstraint":2})", 3, R"({"resource":"r","versionConstraint":2})"},
      {R"({"dir":"a","publisher":"p","dir":"b","name":"n"})", 1, R"({"dir":"b","publisher":"p","name":"n"})"},
      {R"({"kparPath":"k","publisher":"p","name":null,"name":"n"})", 2, R"({"kparPath":"k","publisher":"p","name":"n"})"},
      {R"({"kind":"x","kind":{"a":1,"b":2,"a":3}})", 3, R"({"kind":{"a":3,"b":2}})"},
      {R"({"resource":"r","versionConstraint":2})", 3, R"({"resource":"r","versionConstraint":2})"},
      {R"({"resource":2,"dir":"d","publisher":"p","name":"n"})", 1, R"({"dir":"d","publisher":"p","name":"n"})"},
      {R"({"dir":"d","name":"n","publisher":null})", 3, R"({"dir":"d","name":"n","publisher":null})"},
      {R"({"Resource":"r","dir":"d","publisher":"p","name":"n"})", 1, R"({"dir":"d","publisher":"p","name":"n"})"},
      {R"({"kparPath":"k","publisher":"p"})", 3, R"({"kparPath":"k","publisher":"p"})"},
      {R"({})", 3, R"({})"},
      {R"({"b":{"z":1,"y":[-1,2.5,{"q":true}]},"a":2})", 3, R"({"b":{"z":1,"y":[-1,2.5,{"q":true}]},"a":2})"},
  };
  for (const auto& c : cases) {
    json::Reader r(c.element);
    auto tree = r.read_value();
    ASSERT_TRUE(tree);
    auto usage = deserialize_usage(*tree);
    ASSERT_TRUE(usage) << c.element;
    EXPECT_EQ(static_cast<int>(usage->index()), c.variant) << c.element;
    json::Writer w;
    serialize_usage(*usage, w);
    EXPECT_EQ(w.str(), c.written) << c.element;
    auto again = deserialize_usage(*json::Reader(w.str()).read_value());
    ASSERT_TRUE(again) << c.element;
    EXPECT_EQ(*again, *usage) << c.element;
  }
}

TEST(Usage, ListErrorsAndKeyDescriptions) {
  for (auto bad : {R"("pkg:kestro/a/b")", R"(["r","1.0"])", "1", "null"}) {
    json::Value v = *json::Reader(bad).read_value();
    EXPECT_EQ(deserialize_usage(v).error().message(), kUsageMismatch) << bad;
  }
  for (auto [list, message] : std::initializer_list<std::pair<std::string_view, std::string_view>>{
           {"null", "invalid type: null, expected a sequence at line 1 column 4"},
           {"{}", "invalid type: map, expected a sequence at line 1 column 0"},
           {"[{\"resource\":\"a\"}, 3]", "data did not match any variant of untagged enum InterchangeProjectUsageG at line 1 column 21"},
       }) {
    json::Reader r(list);
    EXPECT_EQ(deserialize_usage_list(r).error().message(), message) << list;
  }
  json::Reader r(R"([{"kind":"x","path":"y"},{}])");
  auto list = deserialize_usage_list(r);
  ASSERT_TRUE(list);
  EXPECT_EQ(describe_usage_keys(std::get<UnknownUsage>((*list)[0]).object), "`kind`, `path`");
  EXPECT_EQ(describe_usage_keys(std::get<UnknownUsage>((*list)[1]).object), "no keys");
}

InterchangeProjectInfoRaw minimal_info(std::string name, std::string version) {
  InterchangeProjectInfoRaw info;
  info.name = std::move(name);
  info.version = std::move(version);
  return info;
}

TEST(PrettyJson, InfoLayout) {
  EXPECT_EQ(to_pretty_json(minimal_info("Kernel Function Library", "1.0.0")),
            "{\n  \"name\": \"Kernel Function Library\",\n  \"version\": \"1.0.0\"\n}\n");
  auto info = minimal_info("n", "1");
  info.publisher = "";
  info.description = "tab\there \"q\" / \xC3\xA9";
  info.maintainer = {"m"};
  info.usage.push_back(ResourceUsageRaw{"urn:x", std::nullopt});
  info.usage.push_back(UnknownUsage{});
  EXPECT_EQ(to_pretty_json(info),
            "{\n  \"name\": \"n\",\n  \"publisher\": \"\",\n  \"description\": \"tab\\there \\\"q\\\" / \xC3\xA9\",\n"
            "  \"version\": \"1\",\n  \"maintainer\": [\n    \"m\"\n  ],\n  \"usage\": [\n    {\n"
            "      \"resource\": \"urn:x\"\n    },\n    {}\n  ]\n}\n");
}

TEST(PrettyJson, MetaLayoutRoundTrip) {
  const std::string text =
      "{\n  \"index\": {},\n  \"created\": \"2025-01-01T00:00:00Z\",\n  \"includesDerived\": false,\n"
      "  \"checksum\": {}\n}\n";
  auto meta = parse_project_meta(text);
  ASSERT_TRUE(meta);
  EXPECT_EQ(to_pretty_json(*meta), text);
  meta->index.insert_or_assign("B", "b");
  meta->index.insert_or_assign("A", "a");
  meta->checksum.reset();
  meta->includes_derived.reset();
  EXPECT_EQ(to_pretty_json(*meta),
            "{\n  \"index\": {\n    \"B\": \"b\",\n    \"A\": \"a\"\n  },\n  \"created\": \"2025-01-01T00:00:00Z\"\n}\n");
}

TEST(RecordFiles, WriteSameBytesAndRefuseExisting) {
  TempDir dir;
  LocalSrcProject project{dir.path()};
  auto info = minimal_info("Kernel Function Library", "1.0.0");
  InterchangeProjectMetadataRaw meta;
  meta.created = "2025-01-01T00:00:00Z";
  ASSERT_TRUE(write_project_info(project, info, false));
  ASSERT_TRUE(write_project_meta(project, meta, false));
  EXPECT_EQ(*read_file(project.info_path()), to_pretty_json(info));
  EXPECT_EQ(*read_file(project.meta_path()), to_pretty_json(meta));
  EXPECT_EQ(write_project_info(project, info, false).error().message(), "`.project.json` already exists");
  EXPECT_EQ(write_project_meta(project, meta, false).error().message(), "'.meta.json' already exists");
  info.version = "2.0.0";
  ASSERT_TRUE(write_project_info(project, info, true));
  EXPECT_EQ(parse_project_info(*read_file(project.info_path()))->version, "2.0.0");

  LocalSrcProject missing{dir.path() / "nope"};
  auto err = write_project_info(missing, info, true);
  ASSERT_FALSE(err);
  EXPECT_TRUE(err.error().holds<LocalSrcError::Io>());
  EXPECT_NE(err.error().message().find("failed to create file\n  `"), std::string::npos);
}

TEST(CanonicalDigest, WorkedExampleAndSensitivity) {
  auto info = minimal_info("x", "1.0.0");
  InterchangeProjectMetadataRaw meta;
  meta.created = "2025-01-01T00:00:00Z";
  EXPECT_EQ(canonical_project_digest_hex(info, meta),
            "f467ecb64c7ce9abc654af69d80f3f23c0e3045ea1269909d82c944a11c659fb");
  // Pretty or compact, members in any order: the records decide.
  auto reread = parse_project_info("{\n \"version\": \"1.0.0\",\n \"maintainer\": [], \"name\": \"x\", \"q\": 1}");
  EXPECT_EQ(canonical_project_digest_hex(*reread, meta), canonical_project_digest_hex(info, meta));
  auto with_empty_checksum = meta;
  with_empty_checksum.checksum.emplace();
  EXPECT_NE(canonical_project_digest_hex(info, with_empty_checksum), canonical_project_digest_hex(info, meta));
  auto swapped = meta;
  meta.index.insert_or_assign("A", "a");
  meta.index.insert_or_assign("B", "b");
  swapped.index.insert_or_assign("B", "b");
  swapped.index.insert_or_assign("A", "a");
  EXPECT_NE(canonical_project_digest_hex(info, meta), canonical_project_digest_hex(info, swapped));
}

}  // namespace
}  // namespace kestro::project

namespace kestro::project {
namespace {

TEST(RecordFiles, WriteThroughLinkKeepsLinkAndMode) {
  // A project whose `.project.json` is a link (a record shared between
  // checkouts): the file it leads to is rewritten, the link and the file's
  // permission bits stay, and nothing is left beside either.
  TempDir dir;
  auto shared = dir.path() / "shared/info.json";
  write_text(shared, "{}");
  ::chmod(shared.c_str(), 0600);
  std::filesystem::create_directory(dir.path() / "p");
  std::filesystem::create_symlink("../shared/info.json", dir.path() / "p/.project.json");
  LocalSrcProject project{dir.path() / "p"};
  auto info = minimal_info("linked", "1.0.0");
  ASSERT_TRUE(write_project_info(project, info, true));
  EXPECT_TRUE(std::filesystem::is_symlink(project.info_path()));
  EXPECT_EQ(*read_file(shared), to_pretty_json(info));
  struct stat st;
  ::stat(shared.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  for (auto sub : {"p", "shared"})
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / sub), std::filesystem::directory_iterator()), 1);
  // Without overwrite, the file the link leads to counts as existing.
  EXPECT_TRUE(write_project_info(project, info, false).error().holds<LocalSrcError::AlreadyExists>());
}

TEST(RecordFiles, FailedWriteIsASerializationFailure) {
  // The record's text cannot be written (a file-size limit stands for a full
  // disk): the serialization failure names the target, and the previous
  // record stays whole.
  TempDir dir;
  LocalSrcProject project{dir.path()};
  InterchangeProjectMetadataRaw meta;
  meta.created = "2025-01-01T00:00:00Z";
  ASSERT_TRUE(write_project_meta(project, meta, false));
  auto info = minimal_info("big", "1.0.0");
  info.description = std::string(100000, 'd');
  meta.metamodel = std::string(100000, 'm');
  struct Case {
    std::function<std::expected<void, LocalSrcError>()> write;
    std::filesystem::path target;
    std::string context;
  } cases[] = {
      {[&] { return write_project_info(project, info, true); }, project.info_path(),
       "failed to serialize and write project info to"},
      {[&] { return write_project_meta(project, meta, true); }, project.meta_path(),
       "failed to serialize and write project metadata to"},
  };
  for (const auto& c : cases) {
    auto before = std::filesystem::exists(c.target) ? *read_file(c.target) : std::string();
    auto r = with_file_size_limit(4096, c.write);
    ASSERT_FALSE(r) << c.target;
    EXPECT_TRUE(r.error().holds<LocalSrcError::Serialize>());
    EXPECT_EQ(r.error().message(), "project serialization error: " + c.context + " `" + c.target.string() +
                                       "`: File too large (os error 27)");
    EXPECT_EQ(std::filesystem::exists(c.target) ? *read_file(c.target) : std::string(), before);
  }
}

}  // namespace
}  // namespace kestro::project
