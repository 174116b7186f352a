#include "kestro/project/project_error.hpp"

#include <cerrno>
#include <type_traits>

#include <gtest/gtest.h>

#include "kestro/model/relative_path.hpp"
#include "kestro/project/checksum.hpp"
#include "test_support.hpp"

namespace kestro::project {
namespace {

const char* kRelativize = "unable to relativize path `/a` with respect to `b`";
const char* kImpossible =
    "cannot construct a relative path from the workspace/project\n        directory to one of its dependencies' "
    "directory:\nunable to relativize path `/a` with respect to `b`";

LocalSrcError impossible() { return LocalSrcError::ImpossibleRelativePath{RelativizeError::NoCommonPrefix{"/a", "b"}}; }

TEST(ProjectErrorChain, RenderedShapes) {
  auto enoent = IoError::from_errno(ENOENT);
  const ProjectValidationError validation =
      ProjectValidationError::InvalidPathInIndex{RelativePathError::ContainsParent{"../x"}};
  struct Case {
    const char* what;
    std::shared_ptr<const Error> error;
    std::string rendered;
  } cases[] = {
      {"no cause", make_error<LocalSrcError>(LocalSrcError::MissingInfoMeta{}),
       "project is missing `.project.json` and/or `.meta.json` files"},
      {"forwarded text, no cause",
       make_error<LocalSrcError>(LocalSrcError::Io{FsIoError::OpenFile{"/p/a", enoent}}),
       "failed to open file\n  `/p/a`:\n  No such file or directory (os error 2)"},
      {"message with inner text and cause: shown twice", make_error<LocalSrcError>(impossible()),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"message with inner text and cause", make_error<InMemoryProjectError>(InMemoryProjectError::IoRead{enoent}),
       "failed to read from reader: No such file or directory (os error 2)\n"
       "  caused by: No such file or directory (os error 2)\n"},
      {"nested causes", make_error<ProjectSourcesError>(ProjectSourcesError::Validation{"meta", validation}),
       "project's `.meta.json` is invalid\n"
       "  caused by: exported symbol index (`index` field in `.meta.json`) references an invalid path\n"
       "  caused by: path `../x` contains a forbidden relative component `..`\n"},
      {"transparent wrapper", make_error<ProjectSourcesError>(ProjectSourcesError::Project{impossible()}),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"transparent, twice",
       make_error<CanonicalizationError<LocalPathProjectError>>(
           CanonicalizationError<LocalPathProjectError>::project_read(LocalPathProjectError::from_src(impossible()))),
       std::string(kImpossible) + "\n  caused by: " + kRelativize + "\n"},
      {"file read, no cause",
       make_error<CanonicalizationError<LocalSrcError>>(
           CanonicalizationError<LocalSrcError>::file_read("a/b.sysml", IoError::from_errno(EISDIR))),
       "failed to read from file\n  `a/b.sysml`:\n  Is a directory (os error 21)"},
      {"path, no cause", make_error<ProjectSourcesError>(ProjectSourcesError::Path{PathCheckError::AbsolutePath{"/x"}}),
       "path `/x` is absolute"},
  };
  for (const auto& c : cases) EXPECT_EQ(render_error_chain(*c.error), c.rendered) << c.what;
}

TEST(ProjectErrorText, SharedShapes) {
  // Each shape in one of the kinds that can meet it.
  struct Case {
    ErrorPtr error;
    std::string text;
  } cases[] = {
      {make_error<LocalSrcError>(LocalSrcError::NameMismatch{"a", "A"}),
       "project name `A` does not match expected `a`"},
      {make_error<LocalSrcError>(LocalSrcError::PublisherMismatch{"acme", std::nullopt}),
       "project publisher `<none>` does not match expected `acme`"},
      {make_error<LocalKparError>(LocalKparError::PublisherMismatch{std::nullopt, "acme"}),
       "project publisher `acme` does not match expected `<none>`"},
      {make_error<LocalKparError>(LocalKparError::SizeMismatch{"/k.kpar", 10, 12}),
       "kpar at `/k.kpar` has size 12 bytes but the expected size was 10 bytes"},
      {make_error<LocalKparError>(LocalKparError::DigestMismatch{"/k.kpar", "ee", "cc"}),
       "kpar at `/k.kpar` has sha256 `cc` but the expected digest was `ee`"},
      {make_error<LocalKparError>(LocalKparError::EmptyKpar{"/k.kpar"}), "kpar at `/k.kpar` is an empty file"},
      {make_error<LocalKparError>(LocalKparError::NotFound{".project.json"}), "path `.project.json` not found"},
      {make_error<InMemoryProjectError>(InMemoryProjectError::FileNotFound{"a/b"}),
       "project read error: file `a/b` not found"},
      {make_error<LocalSrcError>(LocalSrcError::MissingMeta{}), "project is missing metadata file `.meta.json`"},
      {make_error<LocalKparError>(LocalKparError::MissingInfo{}),
       "project is missing project information file `.project.json`"},
      {make_error<LocalSrcError>(LocalSrcError::Deserialize{".meta.json", json::JsonError("expected value", 1, 2)}),
       "project deserialization error: failed to deserialize `.meta.json`: expected value at line 1 column 2"},
      {make_error<LocalSrcError>(
           LocalSrcError::Serialize{"writing `.meta.json`", IoError::custom("sink closed")}),
       "project serialization error: writing `.meta.json`: sink closed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error->message(), c.text);
    EXPECT_EQ(c.error->cause(), nullptr) << c.text;
  }
  EXPECT_EQ(LocalSrcError(LocalSrcError::NameMismatch{"a", "A"}).debug(),
            "NameMismatch { expected: \"a\", actual: \"A\" }");
  EXPECT_EQ(LocalSrcError(LocalSrcError::PublisherMismatch{"acme", std::nullopt}).debug(),
            "PublisherMismatch { expected: Some(\"acme\"), actual: None }");
}

TEST(ProjectErrorConversion, LocalPathFromKinds) {
  using E = LocalPathProjectError;
  LocalSrcError exists = LocalSrcError::AlreadyExists{"`.project.json` already exists"};
  LocalSrcError absolute = LocalSrcError::Path{PathCheckError::AbsolutePath{"/x"}};
  struct Case {
    LocalPathProjectError converted;
    HoldsCheck<E> variant;
    std::string text;
  } cases[] = {
      {E::from_src_read(exists), holds<E::Other>, "unexpected internal error: `.project.json` already exists"},
      {E::from_src_read(absolute), holds<E::Path>, "path `/x` is absolute"},
      {E::from_src_read(LocalSrcError::MissingInfoMeta{}), holds<E::LocalSrc>,
       "project is missing `.project.json` and/or `.meta.json` files"},
      {E::from_src(absolute), holds<E::LocalSrc>, "path `/x` is absolute"},
      {E::from_kpar(LocalKparError::EmptyKpar{"/k"}), holds<E::EmptyKpar>, "kpar at `/k` is an empty file"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(c.variant(c.converted)) << c.text;
    EXPECT_EQ(c.converted.message(), c.text);
  }
  auto wrapped = E::from_src(impossible());
  ASSERT_NE(wrapped.cause(), nullptr);
  EXPECT_EQ(wrapped.cause()->message(), kRelativize);

  // Same-name conversion into a kind that has Other.
  EXPECT_TRUE(convert_project_error<E>(exists).holds<E::Other>());
  EXPECT_TRUE(convert_project_error<E>(LocalKparError(LocalKparError::MissingInfo{})).holds<E::MissingInfo>());
}

TEST(ProjectErrorConversion, KindsAcceptOnlyTheirVariants) {
  // A variant a kind does not have cannot even be written.
  static_assert(!std::is_constructible_v<LocalSrcError, LocalSrcError::FileNotFound>);
  static_assert(!std::is_constructible_v<InMemoryProjectError, InMemoryProjectError::MissingMeta>);
  static_assert(!std::is_constructible_v<LocalKparError, LocalKparError::Other>);
  static_assert(std::is_constructible_v<LocalKparError, LocalKparError::MissingInfo>);
  // Nor can one kind's error pass for another's.
  static_assert(!std::is_constructible_v<LocalPathProjectError, LocalSrcError>);
  static_assert(!std::is_convertible_v<LocalKparError, LocalPathProjectError>);
}

}  // namespace
}  // namespace kestro::project
