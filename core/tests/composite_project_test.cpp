// The composite project kinds: configured sources, remote candidates, the
// combined resolver's kinds and priority pairs, and their error wrappers.
#include <gtest/gtest.h>

#include "kestro/resolve/combined_project.hpp"
#include "support/records.hpp"
#include "test_support.hpp"

namespace kestro::resolve {
namespace {

using testing::kInfo;
using testing::kMeta;
using testing::write_project;

TEST(CompositeErrors, WrappersShowTheInnerErrorAndChain) {
  // An inner error with a cause of its own.
  LocalSrcError inner = LocalSrcError::ImpossibleRelativePath{RelativizeError::NoCommonPrefix{"/a", "b"}};
  const std::string chain = render_error_chain(inner);
  ASSERT_NE(chain.find("caused by"), std::string::npos);
  RemoteGitError git = RemoteGitError::Clone{"file:///r.git", GitError::Library{"no such repository"}};

  using Nested = PriorityError<PriorityError<SourceProjectError, InMemoryProjectError>, CombinedProjectError>;
  struct Case {
    std::string chain;
    std::string debug;
    std::string expected_chain;
    std::string expected_debug;
  };
  auto row = [](const Error& e, std::string expected_chain, std::string expected_debug) {
    return Case{render_error_chain(e), e.debug(), std::move(expected_chain), std::move(expected_debug)};
  };
  const Case cases[] = {
      row(SourceProjectError(SourceProjectError::Editable{inner}), chain, "Editable(" + inner.debug() + ")"),
      row(SourceProjectError(SourceProjectError::RemoteGit{git}), "git clone from `file:///r.git` failed: no such "
          "repository", "RemoteGit(" + git.debug() + ")"),
      row(CombinedProjectError(CombinedProjectError::CachedRemoteProject{inner}), chain,
          "CachedRemoteProject(" + inner.debug() + ")"),
      row(CombinedProjectError(CombinedProjectError::RemoteProject{HttpOrGitProjectError::GitRead{git}}),
          git.message(), "RemoteProject(GitRead(" + git.debug() + "))"),
      row(Nested(Nested::Higher{PriorityError<SourceProjectError, InMemoryProjectError>::Higher{
              SourceProjectError::LocalSrc{inner}}}),
          chain, "Higher(Higher(LocalSrc(" + inner.debug() + ")))"),
      row(Nested(Nested::Lower{CombinedProjectError::DanglingLocalProject{inner}}), chain,
          "Lower(DanglingLocalProject(" + inner.debug() + "))"),
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.chain, c.expected_chain);
    EXPECT_EQ(c.debug, c.expected_debug);
  }
}

TEST(SourceProject, EditableSources) {
  TempDir dir;
  auto root = dir.path() / "ed";
  std::filesystem::create_directories(root);
  ProjectContext context{dir.path(), std::nullopt};
  SourceProject bare(SourceProject::Editable{LocalSrcProject(root), "ed", false});
  EXPECT_EQ(bare.sources(context).value(), (std::vector<Source>{EditableSource{"ed"}}));

  SourceProject with_own(SourceProject::Editable{LocalSrcProject(root), "ed", true});
  auto failed = with_own.sources(context);
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.error().holds<SourceProjectError::Editable>());
  EXPECT_EQ(failed.error().message(), "project is missing `.project.json` and/or `.meta.json` files");

  write_project(root);
  auto listed = with_own.sources(context);
  ASSERT_TRUE(listed) << listed.error().message();
  ASSERT_EQ(listed->size(), 2u);
  EXPECT_EQ((*listed)[0], Source(EditableSource{"ed"}));
  EXPECT_EQ(std::get<LocalSrcSource>((*listed)[1]).src_path, "ed");
  EXPECT_EQ(local_project_root(with_own), root.string());
}

TEST(SourceProject, DispatchTagsTheKind) {
  TempDir dir;
  write_text(dir.path() / "e.kpar", "");
  SourceProject kpar(SourceProject::LocalKpar{LocalKparProject(dir.path() / "e.kpar")});
  auto records = kpar.get_project();
  ASSERT_FALSE(records);
  EXPECT_TRUE(records.error().holds<SourceProjectError::LocalKpar>());
  EXPECT_EQ(records.error().message(), "kpar at `" + (dir.path() / "e.kpar").string() + "` is an empty file");
  EXPECT_EQ(local_project_root(kpar), std::nullopt);

  auto url = "file://" + (dir.path() / "none.git").string();
  SourceProject git(SourceProject::RemoteGit{RemoteGitProject::create(url).value()});
  EXPECT_EQ(git.sources({}).value(), (std::vector<Source>{RemoteGitSource{url}}));
  auto clone = git.checksum_hex();
  ASSERT_FALSE(clone);
  EXPECT_TRUE(clone.error().holds<SourceProjectError::RemoteGit>());
  EXPECT_TRUE(clone.error().message().starts_with("git clone from `" + url + "` failed: "));
}

TEST(CombinedProject, DispatchAndLocalRoot) {
  TempDir dir;
  auto copy = dir.path() / "copy";
  write_project(copy);
  write_text(copy / "a.sysml", "local copy");
  auto url = "file://" + (dir.path() / "none.git").string();
  auto remote = [&] { return HttpOrGitProject(HttpOrGitProject::Git{RemoteGitProject::create(url).value()}); };

  CombinedProject cached(CombinedProject::CachedRemoteProject{LocalSrcProject(copy), remote()});
  EXPECT_EQ(cached.sources({}).value(), (std::vector<Source>{RemoteGitSource{url}}));
  EXPECT_EQ(cached.get_info().value()->name, "P");
  char buffer[64];
  auto reader = cached.read_source("a.sysml");
  ASSERT_TRUE(reader);
  EXPECT_EQ(std::string(buffer, (*reader)->read(buffer).value()), "local copy");
  EXPECT_EQ(local_project_root(cached), std::nullopt);

  CombinedProject dangling(CombinedProject::DanglingLocalProject{LocalSrcProject(copy)});
  EXPECT_EQ(local_project_root(dangling), copy.string());
  CombinedProject file(CombinedProject::FileProject{LocalPathProject(LocalSrcProject(copy))});
  EXPECT_EQ(local_project_root(file), copy.string());
  CombinedProject archive(CombinedProject::FileProject{LocalPathProject(LocalKparProject(dir.path() / "p.kpar"))});
  EXPECT_EQ(local_project_root(archive), std::nullopt);

  CombinedProject unreachable(CombinedProject::RemoteProject{remote()});
  auto failed = unreachable.read_source("a.sysml");
  ASSERT_FALSE(failed);
  ASSERT_TRUE(failed.error().holds<CombinedProjectError::RemoteProject>());
  const auto& held = failed.error().get_if<CombinedProjectError::RemoteProject>()->err;
  ASSERT_TRUE(held.holds<HttpOrGitProjectError::GitRead>());
  EXPECT_TRUE(held.get_if<HttpOrGitProjectError::GitRead>()->err.holds<RemoteGitError::Clone>());
  EXPECT_TRUE(failed.error().message().starts_with("git clone from `" + url + "` failed: "));
  EXPECT_EQ(local_project_root(unreachable), std::nullopt);
}

TEST(PriorityProject, NestedDispatchWrapsOncePerLevel) {
  TempDir dir;
  auto copy = dir.path() / "src";
  write_project(copy);
  using Configured = PriorityProject<std::shared_ptr<const SourceProject>, InMemoryProject>;
  using Solver = PriorityProject<Configured, CombinedProject>;
  static_assert(std::is_same_v<Solver::error_type,
                               PriorityError<PriorityError<SourceProjectError, InMemoryProjectError>,
                                             CombinedProjectError>>);

  InterchangeProjectInfoRaw info;
  info.name = "Mem";
  info.version = "2.0.0";
  Solver memory(Solver::Higher{Configured(Configured::Lower{InMemoryProject({}, info, std::nullopt)})});
  EXPECT_EQ(memory.get_info().value(), info);
  EXPECT_EQ(memory.get_meta().value(), std::nullopt);
  EXPECT_EQ(local_project_root(memory), std::nullopt);

  // A configured source without records fails its sources.
  auto source = std::make_shared<const SourceProject>(SourceProject::LocalSrc{LocalSrcProject(dir.path() / "none", "n")});
  Solver configured(Solver::Higher{Configured(Configured::Higher{source})});
  auto failed = configured.sources({});
  ASSERT_FALSE(failed);
  const auto* higher = failed.error().get_if<Solver::error_type::Higher>();
  ASSERT_NE(higher, nullptr);
  const auto* inner = higher->err.get_if<Configured::error_type::Higher>();
  ASSERT_NE(inner, nullptr);
  EXPECT_TRUE(inner->err.holds<SourceProjectError::LocalSrc>());
  EXPECT_EQ(failed.error().message(), "project is missing `.project.json` and/or `.meta.json` files");
  EXPECT_EQ(local_project_root(configured), (dir.path() / "none").string());

  Solver combined(Solver::Lower{CombinedProject(CombinedProject::DanglingLocalProject{LocalSrcProject(copy, "src")})});
  EXPECT_EQ(combined.get_info().value()->name, "P");
  EXPECT_EQ(std::get<LocalSrcSource>(combined.sources({}).value().at(0)).src_path, "src");
  EXPECT_EQ(local_project_root(combined), copy.string());
}

}  // namespace
}  // namespace kestro::resolve
