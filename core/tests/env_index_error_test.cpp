// Rendered texts of the environment, workspace, installation, index and
// fetch error families: head line, and the cause lines each variant adds.
#include <cerrno>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "error_text_cases.hpp"

#include "kestro/commands/index_edit_error.hpp"
#include "kestro/env/env_error.hpp"
#include "kestro/env/install_error.hpp"
#include "kestro/http/http_error.hpp"
#include "kestro/remote/fetch_error.hpp"
#include "kestro/utils/http_status.hpp"

namespace kestro {
namespace {

using env::EnvCreateError;
using env::EnvInstallError;
using env::EnvMetadataError;
using env::EnvPutError;
using env::InstallationError;
using env::LocalDirectoryEnvReadError;
using env::LocalDirectoryEnvWriteError;
using env::WorkspaceError;
using remote::FetchJsonError;
using remote::IndexEnvError;
using commands::IndexRemoveError;
using commands::IndexYankError;
using project::LocalSrcError;
using project::PathCheckError;
using model::PurlError;


const IoError kEnoent = IoError::from_errno(ENOENT);
const char* kReadFailed = "failed to read file\n  `/e/x`:\n  No such file or directory (os error 2)";
FsIoError read_failed() { return FsIoError::ReadFile{"/e/x", kEnoent}; }

TEST(EnvErrorText, Families) {
  using W = LocalDirectoryEnvWriteError;
  const ErrorTextCase cases[] = {
      {"env.toml TOML failure: cause line only",
       make_error<EnvMetadataError>(EnvMetadataError::Toml{toml::Error("expected `=`")}),
       "failed to parse env metadata file\n  caused by: " + toml::Error("expected `=`").message() + "\n"},
      {"env.toml version", make_error<EnvMetadataError>(EnvMetadataError::UnsupportedVersion{"9"}),
       "env metadata version `9` is not supported"},
      {"non-normalised path", make_error<EnvMetadataError>(EnvMetadataError::NonNormalizedProjectPath{"a/../b"}),
       "non-editable project has path `a/../b` that contains references to parent or current directory"},
      {"absolute path", make_error<EnvMetadataError>(EnvMetadataError::AbsoluteProjectPath{"/a"}),
       "non-editable project has path `/a` that is absolute"},
      {"read: misspelt as users know it",
       make_error<LocalDirectoryEnvReadError>(LocalDirectoryEnvReadError::ProjectNotFound{"urn:x"}),
       "prioject urn:x is not present in environment"},
      {"read: forwarded file error", make_error<LocalDirectoryEnvReadError>(LocalDirectoryEnvReadError::Io{read_failed()}),
       kReadFailed},
      {"write: path error with cause",
       make_error<W>(W::Path{PathCheckError::AbsolutePath{"/x"}}),
       "path error: path `/x` is absolute\n  caused by: path `/x` is absolute\n"},
      {"write: already exists", make_error<W>(W::AlreadyExists{"`e/p`"}), "already exists: `e/p`"},
      {"write: catastrophic move, err on its own line, source as cause",
       make_error<W>(W::TryMove{env::TryMoveError::CatastrophicIO{read_failed(), FsIoError::RmDir{"/e/t", kEnoent}}}),
       std::string("failed and may have left the directory in inconsistent state:\n") + kReadFailed +
           "\n  caused by: failed to remove directory\n  `/e/t`:\n  No such file or directory (os error 2)\n"},
      {"write: recovered move, no cause", make_error<W>(W::TryMove{env::TryMoveError::RecoveredIO{read_failed()}}),
       std::string("recovered from failure: ") + kReadFailed},
      {"write: forwarded read error",
       make_error<W>(W::LocalRead{LocalDirectoryEnvReadError::ProjectNotFound{"p"}}),
       "prioject p is not present in environment"},
      {"write: add project, missing info", make_error<W>(W::AddProject{env::AddProjectError::MissingInfo{"/e/p"}}),
       "missing project info at `/e/p`"},
      {"write: add project, transparent read error",
       make_error<W>(W::AddProject{env::AddProjectError::ProjectRead{LocalSrcError::MissingMeta{}}}),
       "project is missing metadata file `.meta.json`"},
      {"write: absent found publisher", make_error<W>(W::PublisherMismatch{"acme", std::nullopt}),
       "project publisher `<none>` does not match expected `acme`"},
      {"write: found name first", make_error<W>(W::NameMismatch{"want", "got"}),
       "project name `got` does not match expected `want`"},
      {"write: not found", make_error<W>(W::ProjectNotFound{"urn:x"}), "project `urn:x` not found in env"},
      {"workspace: deserialization with cause",
       make_error<WorkspaceError>(
           WorkspaceError::Deserialize{{"failed to read `projects`", json::JsonError("expected `,`", 2, 3)}}),
       "failed to deserialize `.workspace.json`: workspace deserialization error: failed to read `projects`: "
       "expected `,` at line 2 column 3\n"
       "  caused by: workspace deserialization error: failed to read `projects`: expected `,` at line 2 column 3\n"},
      {"workspace: validation, no cause",
       make_error<WorkspaceError>(WorkspaceError::Validation{
           "/w", env::WorkspaceValidationError::InvalidIri{"::", iri::IriError("no scheme")}}),
       "invalid workspace configuration in `/w`: failed to parse `::` as IRI: no scheme"},
  };
  expect_rendered(cases);
}

TEST(InstallErrorText, OneLineWithoutCauses) {
  using Install = EnvInstallError<LocalSrcError>;
  using Put = EnvPutError<LocalSrcError>;
  using Copy = InstallationError<LocalSrcError>;
  using W = LocalDirectoryEnvWriteError;
  const ErrorTextCase cases[] = {
      {"both records missing",
       make_error<Install>(Install::Installation{Put::Callback{Copy::IncompleteSource{"missing `.project.json` and `.meta.json`"}}}),
       "project installation error: incomplete project: missing `.project.json` and `.meta.json`"},
      {"IRI parse failure",
       make_error<Install>(Install::Installation{Put::IriParse{"a b", iri::IriError("invalid character")}}),
       "project installation error: failed to parse `a b` as IRI: invalid character"},
      {"commit failure through Write, cause dropped",
       make_error<Install>(Install::Installation{
           Put::Write{W::TryMove{env::TryMoveError::CatastrophicIO{read_failed(), read_failed()}}}}),
       std::string("project installation error: failed and may have left the directory in inconsistent state:\n") +
           kReadFailed},
      {"file copy", make_error<Install>(Install::Installation{Put::Callback{Copy::Io{read_failed()}}}),
       std::string("project installation error: ") + kReadFailed},
      {"project read", make_error<Install>(Install::ProjectRead{LocalSrcError::MissingInfoMeta{}}),
       "project read error: project is missing `.project.json` and/or `.meta.json` files"},
      {"env read", make_error<Install>(Install::EnvRead{LocalDirectoryEnvReadError::ProjectNotFound{"p"}}),
       "environment read error: prioject p is not present in environment"},
      {"env write in copy", make_error<Copy>(Copy::EnvWrite{LocalSrcError::MissingMeta{}}),
       "environment write error: project is missing metadata file `.meta.json`"},
      {"installed", make_error<Install>(Install::AlreadyInstalled{"urn:a"}),
       "project with IRI `urn:a` is already installed"},
      {"installed version", make_error<Install>(Install::AlreadyInstalledVersion{"urn:a", "1.0.0"}),
       "project with IRI `urn:a` already has version `1.0.0` installed"},
      {"installed, unknown version", make_error<Install>(Install::AlreadyInstalledUnknownVersion{"urn:a"}),
       "unknown version of project with IRI `urn:a` is already installed"},
      {"missing spec", make_error<Install>(Install::MissingSpec{}), "missing spec error"},
      {"create over existing", make_error<EnvCreateError>(EnvCreateError::AlreadyExists{"/w/.kestro"}),
       "refusing to overwrite `/w/.kestro`"},
      {"create: write error twice",
       make_error<EnvCreateError>(EnvCreateError::Write{W::Path{PathCheckError::AbsolutePath{"/x"}}}),
       "environment write error: path error: path `/x` is absolute\n"
       "  caused by: path error: path `/x` is absolute\n  caused by: path `/x` is absolute\n"},
  };
  expect_rendered(cases);
}

TEST(HttpStatusText, ReasonPhrases) {
  const std::pair<std::uint16_t, const char*> cases[] = {
      {404, "404 Not Found"}, {200, "200 OK"}, {100, "100 Continue"}, {511, "511 Network Authentication Required"},
      {418, "418 I'm a teapot"}, {599, "599 <unknown status code>"}, {0, "0 <unknown status code>"},
      {306, "306 <unknown status code>"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(http_status_text(code), text) << code;
}

TEST(IndexErrorText, Families) {
  const http::HttpError http = http::HttpError::Connect{"https://i/x", "connection refused"};
  const std::string refused = "could not connect for `https://i/x`: connection refused";
  const char* u = "https://i/p/versions.json";
  const ErrorTextCase cases[] = {
      {"404", make_error<FetchJsonError>(FetchJsonError::BadHttpStatus{"https://i/x", 404}),
       "HTTP request to `https://i/x` returned status 404 Not Found"},
      {"unknown status", make_error<FetchJsonError>(FetchJsonError::BadHttpStatus{"https://i/x", 599}),
       "HTTP request to `https://i/x` returned status 599 <unknown status code>"},
      {"request failure, shown twice", make_error<FetchJsonError>(FetchJsonError::Request{"https://i/x", http}),
       "HTTP request to `https://i/x` failed: " + refused + "\n  caused by: " + refused + "\n"},
      {"body", make_error<FetchJsonError>(FetchJsonError::Body{"https://i/x", http}),
       "failed to read HTTP response body from `https://i/x`: " + refused + "\n  caused by: " + refused + "\n"},
      {"json", make_error<FetchJsonError>(FetchJsonError::JsonParse{"https://i/x", json::JsonError("EOF", 1, 1)}),
       "failed to parse JSON from `https://i/x`: EOF at line 1 column 1\n  caused by: EOF at line 1 column 1\n"},
      {"fetch inside env error: transparent",
       make_error<IndexEnvError>(IndexEnvError::Fetch{FetchJsonError::Request{"https://i/x", http}}),
       "HTTP request to `https://i/x` failed: " + refused + "\n  caused by: " + refused + "\n"},
      {"downloaded archive inside env error: transparent",
       make_error<IndexEnvError>(IndexEnvError::ProjectDownloaded{remote::RemoteKparError::EmptyKpar{"https://i/p.kpar"}}),
       "kpar at `https://i/p.kpar` is an empty file"},
      {"malformed digest",
       make_error<IndexEnvError>(IndexEnvError::InvalidVersionEntry{u, "1.0.0", "kpar_digest", "md5:x"}),
       "versions.json at `https://i/p/versions.json` has entry for version `1.0.0` with malformed `kpar_digest` = "
       "`md5:x` (expected `sha256:<64-hex>`)"},
      {"non-semver, with cause",
       make_error<IndexEnvError>(IndexEnvError::InvalidSemverVersion{u, "x", semver::SemverError("bad")}),
       "versions.json at `https://i/p/versions.json` has entry with non-semver version `x`: bad\n  caused by: bad\n"},
      {"build metadata", make_error<IndexEnvError>(IndexEnvError::VersionHasBuildMetadata{u, "1.0.0+b"}),
       "versions.json at `https://i/p/versions.json` has entry with version `1.0.0+b` carrying build metadata; build "
       "metadata is not permitted in index-advertised versions"},
      {"order", make_error<IndexEnvError>(IndexEnvError::VersionsOutOfOrder{u, "1.0.0", "2.0.0"}),
       "versions.json at `https://i/p/versions.json` is not in descending semver precedence: `1.0.0` precedes `2.0.0` "
       "in wire order"},
      {"not listed", make_error<IndexEnvError>(IndexEnvError::VersionNotInIndex{u, "3.0.0"}),
       "versions.json at `https://i/p/versions.json` does not list version `3.0.0`"},
      {"not in index: IRI first", make_error<IndexEnvError>(IndexEnvError::ProjectNotInIndex{u, "urn:p"}),
       "project `urn:p` is not in this index (versions.json at `https://i/p/versions.json` returned 404)"},
      {"removed", make_error<IndexEnvError>(IndexEnvError::VersionRemoved{u, "urn:p", "1.0.0"}),
       "version `1.0.0` of `urn:p` was removed upstream (versions.json at `https://i/p/versions.json` marks it "
       "`status: \"removed\"`)"},
      {"duplicate", make_error<IndexEnvError>(IndexEnvError::DuplicateVersion{u, "1.0.0"}),
       "versions.json at `https://i/p/versions.json` lists version `1.0.0` more than once"},
      {"malformed IRI inside env error: transparent",
       make_error<IndexEnvError>(IndexEnvError::MalformedIri{
           model::IndexIriError::Purl{"pkg:kestro/a", PurlError::WrongShape{"pkg:kestro/a", 1}}}),
       "malformed `pkg:kestro` IRI `pkg:kestro/a`\n  caused by: " +
           PurlError(PurlError::WrongShape{"pkg:kestro/a", 1}).message() + "\n"},
      {"yank: not an index names index.json",
       make_error<IndexYankError>(IndexYankError::NotAnIndex{"/i", FsIoError::OpenFile{"/i/index.json", kEnoent}}),
       "directory `/i` is not an index as it doesn't have index.json file; make sure you run `kestro index init` in "
       "this directory before adding any packages\n  caused by: failed to open file\n  `/i/index.json`:\n  No such "
       "file or directory (os error 2)\n"},
      {"yank: removed", make_error<IndexYankError>(IndexYankError::VersionRemoved{"urn:p", "1.0.0"}),
       "urn:p version 1.0.0 is removed so it cannot be yanked; removed version can only stay removed"},
      {"remove: root", make_error<IndexRemoveError>(IndexRemoveError::IndexRootNotFound{"/i"}),
       "index root directory `/i` not found"},
      {"remove: project", make_error<IndexRemoveError>(IndexRemoveError::ProjectNotFound{"urn:p"}),
       "Project urn:p doesn't exist"},
      {"remove: version", make_error<IndexRemoveError>(IndexRemoveError::VersionNotFound{"urn:p", "2.0.0"}),
       "urn:p version 2.0.0 does not exist"},
      {"remove: JSON", make_error<IndexRemoveError>(IndexRemoveError::InvalidJsonFile{"/i/v.json", json::JsonError("x")}),
       "patching json `/i/v.json` failed as the current contents are invalid\n  caused by: x\n"},
  };
  expect_rendered(cases);
  // Removing never reports a removed version.
  static_assert(!is_sum_alternative<IndexYankError::VersionRemoved, IndexRemoveError::Sum>);
}

}  // namespace
}  // namespace kestro
