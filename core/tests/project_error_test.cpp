#include "kestro/project/project_error.hpp"

#include <cerrno>

#include <gtest/gtest.h>

#include "kestro/model/relative_path.hpp"
#include "kestro/project/checksum.hpp"

namespace kestro::project {
namespace {

const char* kRelativize = "unable to relativize path `/a` with respect to `b`";
const char* kImpossible =
    "cannot construct a relative path from the workspace/project\n        directory to one of its dependencies' "
    "directory:\nunable to relativize path `/a` with respect to `b`";

LocalSrcError impossible() { return ProjectError::impossible_relative_path(RelativizeError("/a", "b")); }

TEST(ProjectErrorChain, RenderedShapes) {
  auto enoent = IoError::from_errno(ENOENT);
  auto validation = make_error<MessageError>(
      "invalid path", make_error<RelativePathError>(RelativePathError::Kind::ContainsParent, "../x"));
  struct Case {
    const char* what;
    std::shared_ptr<const Error> error;
    std::string rendered;
  } cases[] = {
      {"no cause", make_error<LocalSrcError>(ProjectError::missing_info_meta()),
       "project is missing `.project.json` and/or `.meta.json` files"},
      {"forwarded text, no cause",
       make_error<LocalSrcError>(ProjectError::io(FsIoError(FsIoError::Kind::OpenFile, "/p/a", enoent))),
       "failed to open file\n  `/p/a`:\n  No such file or directory (os error 2)"},
      {"message with inner text and cause: shown twice", make_error<LocalSrcError>(impossible()),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"message with inner text and cause", make_error<InMemoryProjectError>(ProjectError::io_read(enoent)),
       "failed to read from reader: No such file or directory (os error 2)\n"
       "  caused by: No such file or directory (os error 2)\n"},
      {"nested causes", make_error<ProjectSourcesError>(ProjectSourcesError::validation("meta", validation)),
       "project's `.meta.json` is invalid\n  caused by: invalid path\n"
       "  caused by: path `../x` contains a forbidden relative component `..`\n"},
      {"transparent wrapper", make_error<ProjectSourcesError>(ProjectSourcesError::project(impossible())),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"transparent, twice",
       make_error<CanonicalizationError<LocalPathProjectError>>(
           CanonicalizationError<LocalPathProjectError>::project_read(LocalPathProjectError::from_src(impossible()))),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"file read, no cause",
       make_error<CanonicalizationError<LocalSrcError>>(
           CanonicalizationError<LocalSrcError>::file_read("a/b.sysml", IoError::from_errno(EISDIR))),
       "failed to read from file\n  `a/b.sysml`:\n  Is a directory (os error 21)"},
      {"path, no cause", make_error<ProjectSourcesError>(ProjectSourcesError::path(PathCheckError::absolute("/x"))),
       "path `/x` is absolute"},
  };
  for (const auto& c : cases) EXPECT_EQ(render_error_chain(*c.error), c.rendered) << c.what;
}

TEST(ProjectErrorText, SharedShapes) {
  struct Case {
    ProjectError error;
    std::string text;
  } cases[] = {
      {ProjectError::name_mismatch("a", "A"), "project name `A` does not match expected `a`"},
      {ProjectError::publisher_mismatch("acme", std::nullopt),
       "project publisher `<none>` does not match expected `acme`"},
      {ProjectError::publisher_mismatch(std::nullopt, "acme"),
       "project publisher `acme` does not match expected `<none>`"},
      {ProjectError::size_mismatch("/k.kpar", 10, 12),
       "kpar at `/k.kpar` has size 12 bytes but the expected size was 10 bytes"},
      {ProjectError::digest_mismatch("/k.kpar", "ee", "cc"),
       "kpar at `/k.kpar` has sha256 `cc` but the expected digest was `ee`"},
      {ProjectError::empty_kpar("/k.kpar"), "kpar at `/k.kpar` is an empty file"},
      {ProjectError::not_found(".project.json"), "path `.project.json` not found"},
      {ProjectError::file_not_found("a/b"), "project read error: file `a/b` not found"},
      {ProjectError::missing_meta(), "project is missing metadata file `.meta.json`"},
      {ProjectError::missing_info(), "project is missing project information file `.project.json`"},
      {ProjectError::deserialize(".meta.json", json::JsonError("expected value", 1, 2)),
       "project deserialization error: failed to deserialize `.meta.json`: expected value at line 1 column 2"},
      {ProjectError::serialize("writing `.meta.json`", make_error<MessageError>("sink closed")),
       "project serialization error: writing `.meta.json`: sink closed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.message(), c.text);
    EXPECT_EQ(c.error.cause(), nullptr) << c.text;
  }
  EXPECT_EQ(ProjectError::name_mismatch("a", "A").debug(), "NameMismatch { expected: \"a\", actual: \"A\" }");
  EXPECT_EQ(ProjectError::publisher_mismatch("acme", std::nullopt).debug(),
            "PublisherMismatch { expected: Some(\"acme\"), actual: None }");
}

TEST(ProjectErrorConversion, LocalPathFromKinds) {
  using Kind = ProjectError::Kind;
  LocalSrcError exists = ProjectError::already_exists("`.project.json` already exists");
  struct Case {
    LocalPathProjectError converted;
    Kind kind;
    std::string text;
  } cases[] = {
      {LocalPathProjectError::from_src_read(exists), Kind::Other,
       "unexpected internal error: `.project.json` already exists"},
      {LocalPathProjectError::from_src_read(ProjectError::path(PathCheckError::absolute("/x"))), Kind::Path,
       "path `/x` is absolute"},
      {LocalPathProjectError::from_src_read(ProjectError::missing_info_meta()), Kind::LocalSrc,
       "project is missing `.project.json` and/or `.meta.json` files"},
      {LocalPathProjectError::from_src(ProjectError::path(PathCheckError::absolute("/x"))), Kind::LocalSrc,
       "path `/x` is absolute"},
      {LocalPathProjectError::from_kpar(ProjectError::empty_kpar("/k")), Kind::EmptyKpar,
       "kpar at `/k` is an empty file"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.converted.kind(), c.kind) << c.text;
    EXPECT_EQ(c.converted.message(), c.text);
  }
  auto wrapped = LocalPathProjectError::from_src(impossible());
  ASSERT_NE(wrapped.cause(), nullptr);
  EXPECT_EQ(wrapped.cause()->message(), kRelativize);

  // Same-name conversion into a kind that has Other.
  EXPECT_EQ(convert_project_error<LocalPathProjectError>(exists).kind(), Kind::Other);
  EXPECT_EQ(convert_project_error<LocalPathProjectError>(ProjectError::missing_info()).kind(), Kind::MissingInfo);
}

TEST(ProjectErrorConversion, KindsAcceptOnlyTheirVariants) {
  EXPECT_THROW(LocalSrcError{ProjectError::file_not_found("a")}, InternalError);
  EXPECT_THROW(InMemoryProjectError{ProjectError::missing_meta()}, InternalError);
  EXPECT_THROW(LocalKparError{ProjectError::other("x")}, InternalError);
  EXPECT_NO_THROW(LocalKparError{ProjectError::missing_info()});
}

}  // namespace
}  // namespace kestro::project
