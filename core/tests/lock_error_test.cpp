// Texts of a failed lock run: the name collisions, each variant of the lock
// error and of the lock command's error, rendered with their causes.
#include "kestro/commands/lock_command_error.hpp"

#include <string>

#include <gtest/gtest.h>

#include "error_text_cases.hpp"

namespace kestro::solve {
namespace {

using lock::NameCollisionError;
using lock::Project;
using lock::SelfNameCollisionError;

Project plain(const char* name) { return Project{std::nullopt, name, "1.0.0", {}, {}, {}, {}}; }
Project full() {
  return Project{"pub", "full", "2.0.0", {"A", "B"}, {"urn:full"}, {"urn:dep"}, {project::EditableSource{"."}}};
}

// A chosen project's failure with a cause: a configured source directory's
// path that cannot be made relative.
DependencyProjectError dependency_failure(const char* path) {
  using Configured = PriorityError<SourceProjectError, InMemoryProjectError>;
  const LocalSrcError relative = LocalSrcError::ImpossibleRelativePath{RelativizeError::NoCommonPrefix{path, "/root"}};
  return DependencyProjectError::Higher{Configured(Configured::Higher{SourceProjectError::LocalSrc{relative}})};
}

SolverError one_no_versions() {
  ResourceUsageG<iri::Iri, semver::VersionReq> u{*iri::Iri::parse("urn:a"), std::nullopt};
  DependencyIdentifier a{DependencyIdentifier::Target{"urn:a", UsageInContext{u, std::nullopt}}};
  return SolverError(SolverError::NoSolution{
      DerivationTree{DerivationTree::NoVersions{a, DiscreteHashSet::empty()}}, "R", {}});
}

TEST(NameCollisionText, ShowsTheLockTables) {
  EXPECT_EQ(NameCollisionError("Sym", plain("a"), plain("b")).message(),
            "symbol name `Sym` is exported more than once in lockfile:\nproject 1:\nname = \"a\"\nversion = "
            "\"1.0.0\"\n\nproject 2:\nname = \"b\"\nversion = \"1.0.0\"\n");
  EXPECT_EQ(SelfNameCollisionError("A", full()).message(),
            "symbol name `A` is exported more than once by the same project:\npublisher = \"pub\"\nname = "
            "\"full\"\nversion = \"2.0.0\"\nexports = [\n    \"A\",\n    \"B\",\n]\nidentifiers = [\n    "
            "\"urn:full\",\n]\nusages = [\n    \"urn:dep\",\n]\nsources = [\n    { editable = \".\" },\n]\n");
  EXPECT_EQ(SelfNameCollisionError("A", plain("a")).debug(),
            "SelfNameCollisionError { symbol: \"A\", project: Project { publisher: None, name: \"a\", version: "
            "\"1.0.0\", exports: [], identifiers: [], usages: [], sources: [] } }");
}

TEST(LockErrorText, EveryVariant) {
  const IoError enoent = IoError::from_errno(2);
  const FsIoError io = FsIoError::OpenFile{"/p/x", enoent};
  const ProjectValidationError invalid =
      ProjectValidationError::InvalidProjectVersion{"one", semver::Version::parse("one").error()};
  const DependencyProjectError dep = dependency_failure("/a");
  using CE = CanonicalizationError<DependencyProjectError>;
  const std::string invalid_cause = invalid.cause() ? "\n  caused by: " + invalid.cause()->message() + "\n" : "\n";
  const ErrorTextCase cases[] = {
      {"dependency project, transparent", make_error<LockError>(LockError::DependencyProject{dep}),
       render_error_chain(dep)},
      {"canonicalization, project read", make_error<LockError>(LockError::DependencyProjectCanonicalization{
                                             CE::project_read(dep)}),
       render_error_chain(dep)},
      {"canonicalization, file read", make_error<LockError>(LockError::DependencyProjectCanonicalization{
                                          CE::file_read("a.sysml", enoent)}),
       "failed to read from file\n  `a.sysml`:\n  No such file or directory (os error 2)"},
      {"io", make_error<LockError>(LockError::Io{io}),
       "failed to open file\n  `/p/x`:\n  No such file or directory (os error 2)"},
      {"incomplete, info", make_error<LockError>(LockError::IncompleteProject{"`a`", ProjectRecordKind::Info}),
       "incomplete project `a`: missing info"},
      {"incomplete, meta", make_error<LockError>(LockError::IncompleteProject{"x", ProjectRecordKind::Meta}),
       "incomplete project x: missing meta"},
      {"incomplete, digest",
       make_error<LockError>(LockError::IncompleteProject{"x", ProjectRecordKind::CanonicalDigest}),
       "incomplete project x: missing canonical digest"},
      {"invalid project", make_error<LockError>(LockError::InvalidProject{"urn:x", invalid}),
       "project `urn:x` has invalid metadata\n  caused by: project has an invalid Semantic Version `one`" +
           invalid_cause},
      {"solver", make_error<LockError>(LockError::Solver{one_no_versions()}),
       "requested version unavailable: project `urn:a`\nwas found, but the requested version constraint `*`\nwas "
       "not satisfied by any of the found versions:\n"},
      {"name collision", make_error<LockError>(LockError::NameCollision{NameCollisionError("S", plain("a"), plain("b"))}),
       "symbol name `S` is exported more than once in lockfile:\nproject 1:\nname = \"a\"\nversion = "
       "\"1.0.0\"\n\nproject 2:\nname = \"b\"\nversion = \"1.0.0\"\n"},
      {"self name collision", make_error<LockError>(LockError::SelfNameCollision{SelfNameCollisionError("S", plain("a"))}),
       "symbol name `S` is exported more than once by the same project:\nname = \"a\"\nversion = \"1.0.0\"\n"},
  };
  expect_rendered(cases);
}

TEST(LockCommandErrorText, EveryVariant) {
  using commands::LockCommandError;
  using LCE = LockCommandError<LocalSrcError>;
  const LocalSrcError missing = LocalSrcError::MissingMeta{};
  const LocalSrcError mismatch = LocalSrcError::NameMismatch{"a", "b"};
  const ErrorTextCase cases[] = {
      {"input project", make_error<LCE>(LCE::InputProjectError{missing}), render_error_chain(missing)},
      {"input canonicalization, project read",
       make_error<LCE>(LCE::InputProjectCanonicalizationError{CanonicalizationError<LocalSrcError>::project_read(mismatch)}),
       render_error_chain(mismatch)},
      {"input canonicalization, file read",
       make_error<LCE>(LCE::InputProjectCanonicalizationError{
           CanonicalizationError<LocalSrcError>::file_read("f", IoError::from_errno(13))}),
       "failed to read from file\n  `f`:\n  Permission denied (os error 13)"},
      {"lock error with its cause",
       make_error<LCE>(LCE::LockError{LockError::DependencyProject{dependency_failure("/b")}}),
       render_error_chain(dependency_failure("/b"))},
  };
  expect_rendered(cases);
  EXPECT_EQ(LCE(LCE::LockError{LockError::IncompleteProject{"x", ProjectRecordKind::Meta}}).debug(),
            "LockError(IncompleteProject { project_label: \"x\", field: Meta })");
}

}  // namespace
}  // namespace kestro::solve
