#include "kestro/model/relative_path.hpp"

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace kestro::model {
namespace {

// An expected outcome: the variant the error holds.
using Check = HoldsCheck<RelativePathError>;
namespace K {
constexpr Check Absolute = holds<RelativePathError::Absolute>;
constexpr Check ContainsBackslash = holds<RelativePathError::ContainsBackslash>;
constexpr Check ContainsDoubleSlash = holds<RelativePathError::ContainsDoubleSlash>;
constexpr Check ContainsCurrent = holds<RelativePathError::ContainsCurrent>;
constexpr Check ContainsParent = holds<RelativePathError::ContainsParent>;
constexpr Check ContainsNull = holds<RelativePathError::ContainsNull>;
constexpr Check DirectoryPath = holds<RelativePathError::DirectoryPath>;
}  // namespace K
constexpr Check ok = nullptr;

// One row per path: the outcome for ProjectFile, RelativeFile,
// ProjectDirectory and RelativeDirectory, in that order.
struct Row {
  std::string path;
  Check outcome[4];
};

TEST(RelativePath, OrderOfChecks) {
  const Row rows[] = {
      {".", {K::ContainsCurrent, ok, ok, ok}},
      {"./", {K::DirectoryPath, K::DirectoryPath, K::ContainsCurrent, ok}},
      {"..", {K::ContainsParent, ok, K::ContainsParent, ok}},
      {"...", {ok, ok, ok, ok}},
      {".a/a./b", {ok, ok, ok, ok}},
      {"", {K::ContainsDoubleSlash, K::ContainsDoubleSlash, K::ContainsDoubleSlash, K::ContainsDoubleSlash}},
      {"a//b", {K::ContainsDoubleSlash, K::ContainsDoubleSlash, K::ContainsDoubleSlash, K::ContainsDoubleSlash}},
      {"a/", {K::DirectoryPath, K::DirectoryPath, ok, ok}},
      {"a//", {K::DirectoryPath, K::DirectoryPath, K::ContainsDoubleSlash, K::ContainsDoubleSlash}},
      {"../x.kpar", {K::ContainsParent, ok, K::ContainsParent, ok}},
      {"a/./b", {K::ContainsCurrent, ok, K::ContainsCurrent, ok}},
      {"a/../b/", {K::DirectoryPath, K::DirectoryPath, K::ContainsParent, ok}},
      {"/", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"/abs/x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"C:/x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"c:\\x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"Z:/", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"C:x", {ok, ok, ok, ok}},
      {"C:", {ok, ok, ok, ok}},
      {"1:/x", {ok, ok, ok, ok}},
      {"CC:/x", {ok, ok, ok, ok}},
      {"//srv/sh/x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\\\srv\\sh\\x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\/srv/sh/x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"//srv/sh", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\\\srv\\sh", {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {"\\\\srv", {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {"\\\\.\\COM1\\x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\\\?\\C:\\x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\\\?\\UNC\\srv\\sh\\x", {K::Absolute, K::Absolute, K::Absolute, K::Absolute}},
      {"\\\\?\\C:", {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {"a\\b", {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {"\\x", {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {std::string("abc\0e\\g", 7), {K::ContainsNull, K::ContainsNull, K::ContainsNull, K::ContainsNull}},
      {std::string("abc\\e\0g", 7),
       {K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash, K::ContainsBackslash}},
      {std::string("a/\0/", 4), {K::ContainsNull, K::ContainsNull, K::ContainsNull, K::ContainsNull}},
      {"src/my part:1 \xC3\xA9.sysml", {ok, ok, ok, ok}},
  };
  const RelativePathKind kinds[] = {RelativePathKind::ProjectFile, RelativePathKind::RelativeFile,
                                    RelativePathKind::ProjectDirectory, RelativePathKind::RelativeDirectory};
  for (const auto& row : rows) {
    for (int k = 0; k < 4; ++k) {
      auto got = validate_relative_path(row.path, kinds[k]);
      if (!row.outcome[k]) {
        ASSERT_TRUE(got) << row.path << " kind " << k << ": " << got.error().debug();
        EXPECT_EQ(got->data(), row.path.data()) << "the caller's text, not a copy";
        EXPECT_EQ(got->size(), row.path.size());
      } else {
        ASSERT_FALSE(got) << row.path << " kind " << k;
        EXPECT_TRUE(row.outcome[k](got.error())) << row.path << " kind " << k << ": " << got.error().debug();
        EXPECT_EQ(got.error().path(), row.path) << "the whole path";
      }
    }
  }
}

}  // namespace
}  // namespace kestro::model
