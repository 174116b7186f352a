#include <gtest/gtest.h>

#include "kestro/lock/lock_read.hpp"
#include "kestro/utils/log.hpp"

namespace kestro::lock {
namespace {

const std::string kDigest(64, 'a');

// One `[[project]]` table.
std::string project(const std::string& name, const std::string& ids, const std::string& extra = "",
                    const std::string& version = "1.0.0") {
  std::string t = "\n[[project]]\nname = \"" + name + "\"\nversion = \"" + version + "\"\n";
  if (!ids.empty()) t += "identifiers = [" + ids + "]\n";
  return t + extra;
}
std::string lock_of(const std::string& projects) { return "lock_version = \"0.5\"\n" + projects; }
std::string with_source(const std::string& source) { return "sources = [" + source + "]\n"; }

TEST(LockValidate, FailuresThroughParseLock) {
  struct Case {
    std::string what;
    std::string text;
    std::string chain;
  };
  const Case cases[] = {
      {"second project without identifiers", lock_of(project("a", "") + project("b", "")),
       "project `b` does not have an identifier"},
      {"equal first identifiers", lock_of(project("a", "\"urn:x\"") + project("b", "\"urn:x\"")),
       "project identifier `urn:x` is\nspecified by more than one project in lockfile"},
      {"symbol twice in one list", lock_of(project("a", "", "exports = [\"S\", \"S\"]\n")),
       "symbol name `S` is exported by more than one project in lockfile"},
      {"symbol in two projects",
       lock_of(project("a", "\"urn:a\"", "exports = [\"S\"]\n") + project("b", "\"urn:b\"", "exports = [\"S\"]\n")),
       "symbol name `S` is exported by more than one project in lockfile"},
      {"usage of a second identifier",
       lock_of(project("a", "\"urn:a\", \"urn:a2\"") + project("b", "\"urn:b\"", "usages = [\"urn:a2\"]\n")),
       "unsatisfied usage `urn:a2` for project `b` in lockfile"},
      {"usage differing in case", lock_of(project("a", "\"urn:a\"", "usages = [\"URN:a\"]\n")),
       "unsatisfied usage `URN:a` for project `a` in lockfile"},
      {"absolute src_path",
       lock_of(project("a", "", with_source("{ src_path = \"/x\", checksum = \"" + kDigest + "\" }"))),
       "invalid source path provided for project `a` in lockfile\n  caused by: path `/x` is absolute\n"},
      {"kpar_path ending in a slash",
       lock_of(project("a", "", with_source("{ kpar_path = \"x/\", kpar_size = 1, kpar_digest = \"" + kDigest +
                                            "\" }"))),
       "invalid source path provided for project `a` in lockfile\n  caused by: path `x/` is a directory path\n(ends "
       "with a separator `/`), but a file path was expected\n"},
      {"empty src_path", lock_of(project("a", "", with_source("{ src_path = \"\", checksum = \"" + kDigest + "\" }"))),
       "invalid source path provided for project `a` in lockfile\n  caused by: path `` contains two "
       "consecutive\ndirectory separators `/`, which is forbidden\n"},
      {"scp-like git address", lock_of(project("a", "", with_source("{ remote_git = \"git@h:r.git\" }"))),
       "invalid source URL provided for project `a` in lockfile\n  caused by: "},
      {"upper-case kpar digest",
       lock_of(project("a", "", with_source("{ index_kpar = \"https://i/a\", kpar_size = 1, kpar_digest = \"" +
                                            std::string(63, 'a') + "A\" }"))),
       "invalid format of kpar digest `" + std::string(63, 'a') + "A` for project `a` in lockfile"},
      {"short checksum", lock_of(project("a", "", with_source("{ remote_src = \"https://s/\", checksum = \"ab\" }"))),
       "invalid format of project canonical digest `ab` for project `a` in lockfile"},
      {"bad location before bad digest",
       lock_of(project("a", "", with_source("{ remote_src = \"s/\", checksum = \"ab\" }"))),
       "invalid source URL provided for project `a` in lockfile\n  caused by: "},
      {"usage before sources",
       lock_of(project("a", "", "usages = [\"urn:q\"]\n" + with_source("{ remote_git = \"nope\" }"))),
       "unsatisfied usage `urn:q` for project `a` in lockfile"},
  };
  for (const Case& c : cases) {
    auto r = parse_lock(c.text);
    ASSERT_FALSE(r.has_value()) << c.what;
    EXPECT_TRUE(r.error().holds<LockfileError::Validation>()) << c.what;
    const std::string chain = render_error_chain(r.error());
    EXPECT_EQ(chain.substr(0, c.chain.size()), c.chain) << c.what << "\n" << chain;
    if (c.chain.find("caused by") == std::string::npos) {
      EXPECT_EQ(chain, c.chain) << c.what;
    }
  }
}

TEST(LockValidate, UnsupportedVersionOfAValue) {
  Lock lock = Lock::create();
  lock.lock_version = "0.4";
  auto r = validate_lock(lock);
  ASSERT_FALSE(r.has_value());
  EXPECT_EQ(r.error().message(), "lockfile version `0.4` is not supported; regenerate it with a lock operation");
}

TEST(LockValidate, AcceptedForms) {
  const std::string text = lock_of(
      project("a", "", with_source("{ editable = \".\" }")) +
      project("b", "\"urn:b\", \"urn:same\"",
              with_source("{ src_path = \"../x/\", checksum = \"" + kDigest + "\" }, { kpar_path = \"./a/../b.kpar\", "
                          "kpar_size = 1, kpar_digest = \"" + kDigest + "\" }, { remote_git = \"https://h/r.git\" }")) +
      project("c", "\"urn:c\", \"urn:same\"", "usages = [\"urn:b\"]\n"));
  auto r = parse_lock(text);
  EXPECT_TRUE(r.has_value()) << r.error().message();
}

TEST(LockValidate, VersionWarningAndItsPlace) {
  {
    log::ScopedCapture capture;
    EXPECT_TRUE(parse_lock(lock_of(project("a", "", "", "1.0"))).has_value());
    ASSERT_EQ(capture.records().size(), 1u);
    const std::string& m = capture.records()[0].message;
    EXPECT_EQ(m.substr(0, m.find('\n') + 10), "invalid semantic version `1.0` for project `a`\n         ");
    EXPECT_GT(m.size(), m.find('\n') + 10);
    EXPECT_NE(m[m.find('\n') + 10], ' ');
  }
  {
    // A collision is returned before any version warning.
    log::ScopedCapture capture;
    EXPECT_FALSE(parse_lock(lock_of(project("a", "\"u\"", "", "x") + project("b", "\"u\""))).has_value());
    EXPECT_TRUE(capture.records().empty());
  }
}

}  // namespace
}  // namespace kestro::lock
