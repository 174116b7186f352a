#include "kestro/model/index_documents.hpp"

#include <gtest/gtest.h>

#include "kestro/utils/fs.hpp"
#include "test_support.hpp"

namespace kestro::model {
namespace {

TEST(IndexConfig, Reading) {
  EXPECT_EQ(*parse_index_config("{}"), IndexConfigRaw{});
  EXPECT_EQ(*parse_index_config(R"({"api_root":null,"x":[1]})"), IndexConfigRaw{});
  EXPECT_EQ(*parse_index_config(R"(["a"])"), (IndexConfigRaw{"a", std::nullopt}));
  EXPECT_EQ(parse_index_config(R"({"api_root":1})").error().message(),
            "invalid type: integer `1`, expected a string at line 1 column 13");
  EXPECT_EQ(parse_index_config("").error().message(), "EOF while parsing a value at line 1 column 0");
}

TEST(IndexDocuments, ReadingErrors) {
  struct Case {
    bool versions;
    std::string_view text;
    std::string_view message;
  } cases[] = {
      {false, R"({"x":1})", "missing field `projects` at line 1 column 7"},
      {false, R"({"projects":[{"iri":"a","status":"yanked"}]})",
       "unknown variant `yanked`, expected `available` or `removed` at line 1 column 41"},
      {false, R"({"projects":[{"iri":"a","iri":"b"}]})", "duplicate field `iri` at line 1 column 29"},
      {false, R"({"projects":{}})", "invalid type: map, expected a sequence at line 1 column 12"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":0,"kpar_digest":"d"}]})",
       "invalid value: integer `0`, expected a nonzero u64 at line 1 column 52"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":-3,"kpar_digest":"d"}]})",
       "invalid value: integer `-3`, expected a nonzero u64 at line 1 column 53"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1.0,"kpar_digest":"d"}]})",
       "invalid type: floating point `1.0`, expected a nonzero u64 at line 1 column 54"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1e3,"kpar_digest":"d"}]})",
       "invalid type: floating point `1000.0`, expected a nonzero u64 at line 1 column 54"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1,"kpar_digest":"d","status":null}]})",
       "expected value at line 1 column 81"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1,"kpar_digest":"d","status":"gone"}]})",
       "unknown variant `gone`, expected one of `available`, `yanked`, `removed` at line 1 column 86"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1,"kpar_digest":"d","status":{}}]})",
       "expected value at line 1 column 82"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1,"kpar_digest":"d","status":{5:null}}]})",
       "invalid type: integer `5`, expected variant identifier at line 1 column 82"},
      {true, R"({"versions":[{"version":"1","usage":[],"kpar_size":1,"kpar_digest":"d","status":{"removed":1}}]})",
       "invalid type: integer `1`, expected unit at line 1 column 92"},
      {true, R"({"versions":[{"usage":[],"kpar_digest":"d"}]})", "missing field `version` at line 1 column 43"},
      {true, R"({"versions":[["1",[],5]]})",
       "invalid length 3, expected struct VersionEntry with 5 elements at line 1 column 23"},
  };
  for (const auto& c : cases) {
    auto message = c.versions ? parse_versions_json_text(c.text).error().message()
                              : parse_index_json_text(c.text).error().message();
    EXPECT_EQ(message, c.message) << c.text;
  }
}

TEST(IndexDocuments, StatusFormsAndRewrite) {
  auto versions = parse_versions_json_text(R"({"versions":[
      ["1.0.0",[{"resource":"urn:a"}],10,"sha256:x"],
      {"version":"2.0.0","usage":[],"kpar_size":18446744073709551615,"kpar_digest":"d","status":"available","extra":1},
      {"version":"3.0.0","usage":[],"kpar_size":3,"kpar_digest":"d","status":{"removed":null}},
      {"version":"4.0.0","usage":[],"kpar_size":4,"kpar_digest":"d","status":"yanked"}]})");
  ASSERT_TRUE(versions) << versions.error().message();
  ASSERT_EQ(versions->versions.size(), 4u);
  EXPECT_EQ(versions->versions[0].status, VersionStatus::Available);
  EXPECT_EQ(versions->versions[1].kpar_size, 18446744073709551615u);
  EXPECT_EQ(versions->versions[2].status, VersionStatus::Removed);
  EXPECT_EQ(versions->versions[3].status, VersionStatus::Yanked);
  EXPECT_EQ(to_pretty_json(*versions),
            "{\n  \"versions\": [\n    {\n      \"version\": \"1.0.0\",\n      \"usage\": [\n        {\n"
            "          \"resource\": \"urn:a\"\n        }\n      ],\n      \"kpar_size\": 10,\n"
            "      \"kpar_digest\": \"sha256:x\"\n    },\n    {\n      \"version\": \"2.0.0\",\n      \"usage\": [],\n"
            "      \"kpar_size\": 18446744073709551615,\n      \"kpar_digest\": \"d\"\n    },\n    {\n"
            "      \"version\": \"3.0.0\",\n      \"usage\": [],\n      \"kpar_size\": 3,\n      \"kpar_digest\": \"d\",\n"
            "      \"status\": \"removed\"\n    },\n    {\n      \"version\": \"4.0.0\",\n      \"usage\": [],\n"
            "      \"kpar_size\": 4,\n      \"kpar_digest\": \"d\",\n      \"status\": \"yanked\"\n    }\n  ]\n}\n");

  IndexJson index{{{"urn:a", IndexProjectStatus::Available}, {"urn:b", IndexProjectStatus::Removed}}};
  EXPECT_EQ(to_pretty_json(index), "{\n  \"projects\": [\n    {\n      \"iri\": \"urn:a\"\n    },\n    {\n"
                                   "      \"iri\": \"urn:b\",\n      \"status\": \"removed\"\n    }\n  ]\n}\n");
  EXPECT_EQ(to_pretty_json(IndexJson{}), "{\n  \"projects\": []\n}\n");
  EXPECT_EQ(*parse_index_json_text(to_pretty_json(index)), index);
}

TEST(IndexFiles, Reading) {
  TempDir dir;
  auto index_path = dir.path() / "index.json";
  auto missing = parse_index_json(index_path);
  ASSERT_FALSE(missing);
  EXPECT_TRUE(missing.error().holds<IndexFileError::NotFound>());
  EXPECT_FALSE(std::filesystem::exists(index_path));

  auto versions_path = dir.path() / "p" / "versions.json";
  std::filesystem::create_directories(versions_path.parent_path());
  auto created = parse_versions_json(versions_path);
  ASSERT_TRUE(created);
  EXPECT_TRUE(created->versions.empty());
  EXPECT_EQ(std::filesystem::file_size(versions_path), 0u);

  write_text(index_path, "");
  EXPECT_TRUE(parse_index_json(index_path)->projects.empty());
  write_text(index_path, " ");
  auto space = parse_index_json(index_path);
  ASSERT_FALSE(space);
  EXPECT_TRUE(space.error().holds<IndexFileError::Json>());
  EXPECT_NE(space.error().message().find("EOF while parsing a value at line 1 column 1"), std::string::npos);
  write_text(index_path, "{\"projects\":[{\"iri\":\"\xff\"}]}");
  auto bad = parse_index_json(index_path);
  ASSERT_FALSE(bad);
  EXPECT_TRUE(bad.error().holds<IndexFileError::Io>());
  EXPECT_EQ(bad.error().message(),
            "failed to read file\n  `" + index_path.string() + "`:\n  stream did not contain valid UTF-8");
}

}  // namespace
}  // namespace kestro::model
