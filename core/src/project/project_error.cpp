#include "kestro/project/project_error.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "kestro/utils/text.hpp"

namespace kestro::project {

namespace {

constexpr const char* kKindNames[] = {
    "AlreadyExists", "MissingMeta", "MissingInfoMeta", "MissingInfo", "Deserialize", "Serialize", "Path", "Io", "Zip",
    "ImpossibleRelativePath", "PublisherMismatch", "NameMismatch", "NotFound", "DigestMismatch", "SizeMismatch",
    "EmptyKpar", "FileNotFound", "IoRead", "Other", "LocalSrc",
};

std::string debug_optional(const std::optional<std::string>& text) {
  return text ? fmt::format("Some({})", debug_quote(*text)) : std::string("None");
}

}  // namespace

ProjectError ProjectError::checked(ProjectError e, std::span<const Kind> variants, const char* type) {
  if (std::find(variants.begin(), variants.end(), e.kind_) == variants.end())
    internal_error(fmt::format("`{}` has no variant `{}`", type, kKindNames[static_cast<int>(e.kind_)]));
  return e;
}

ProjectError ProjectError::unexpected_internal(const Error& err) {
  return other(fmt::format("unexpected internal error: {}", err.message()));
}

ProjectError ProjectError::local_src(ErrorPtr err) {
  ProjectError e(Kind::LocalSrc, {});
  e.inner_ = std::move(err);
  return e;
}

ProjectError ProjectError::deserialize(std::string file, json::JsonError err) {
  ProjectError e(Kind::Deserialize, std::move(file));
  e.inner_ = make_error<json::JsonError>(std::move(err));
  return e;
}

ProjectError ProjectError::serialize(std::string context, ErrorPtr err) {
  ProjectError e(Kind::Serialize, std::move(context));
  e.inner_ = std::move(err);
  return e;
}

ProjectError ProjectError::path(PathCheckError err) {
  ProjectError e(Kind::Path, {});
  e.inner_ = make_error<PathCheckError>(std::move(err));
  return e;
}

ProjectError ProjectError::io(FsIoError err) {
  ProjectError e(Kind::Io, {});
  e.inner_ = make_error<FsIoError>(std::move(err));
  return e;
}

ProjectError ProjectError::zip(ZipArchiveError err) {
  ProjectError e(Kind::Zip, {});
  e.inner_ = make_error<ZipArchiveError>(std::move(err));
  return e;
}

ProjectError ProjectError::impossible_relative_path(RelativizeError err) {
  ProjectError e(Kind::ImpossibleRelativePath, {});
  e.inner_ = make_error<RelativizeError>(std::move(err));
  return e;
}

ProjectError ProjectError::io_read(IoError err) {
  ProjectError e(Kind::IoRead, {});
  e.inner_ = make_error<IoError>(std::move(err));
  return e;
}

ProjectError ProjectError::publisher_mismatch(std::optional<std::string> expected, std::optional<std::string> actual) {
  ProjectError e(Kind::PublisherMismatch, {});
  e.opt1_ = std::move(expected);
  e.opt2_ = std::move(actual);
  return e;
}

ProjectError ProjectError::name_mismatch(std::string expected, std::string actual) {
  ProjectError e(Kind::NameMismatch, std::move(expected));
  e.text2_ = std::move(actual);
  return e;
}

ProjectError ProjectError::digest_mismatch(std::string location, std::string expected, std::string computed) {
  ProjectError e(Kind::DigestMismatch, std::move(location));
  e.opt1_ = std::move(expected);
  e.text2_ = std::move(computed);
  return e;
}

ProjectError ProjectError::size_mismatch(std::string location, std::uint64_t expected, std::uint64_t actual) {
  ProjectError e(Kind::SizeMismatch, std::move(location));
  e.n1_ = expected;
  e.n2_ = actual;
  return e;
}

std::string ProjectError::message() const {
  auto inner_text = [&] { return inner_ ? inner_->message() : std::string(); };
  switch (kind_) {
    case Kind::AlreadyExists:
    case Kind::Other: return text_;
    case Kind::MissingMeta: return "project is missing metadata file `.meta.json`";
    case Kind::MissingInfoMeta: return "project is missing `.project.json` and/or `.meta.json` files";
    case Kind::MissingInfo: return "project is missing project information file `.project.json`";
    case Kind::Deserialize:
      return fmt::format("project deserialization error: failed to deserialize `{}`: {}", text_, inner_text());
    case Kind::Serialize: return fmt::format("project serialization error: {}: {}", text_, inner_text());
    case Kind::Path:
    case Kind::Io:
    case Kind::Zip: return inner_text();
    case Kind::ImpossibleRelativePath:
      return "cannot construct a relative path from the workspace/project\n        directory to one of its "
             "dependencies' directory:\n" +
             inner_text();
    case Kind::PublisherMismatch:
      return fmt::format("project publisher `{}` does not match expected `{}`", opt2_.value_or("<none>"),
                         opt1_.value_or("<none>"));
    case Kind::NameMismatch: return fmt::format("project name `{}` does not match expected `{}`", text2_, text_);
    case Kind::NotFound: return fmt::format("path `{}` not found", text_);
    case Kind::DigestMismatch:
      return fmt::format("kpar at `{}` has sha256 `{}` but the expected digest was `{}`", text_, text2_,
                         opt1_.value_or(""));
    case Kind::SizeMismatch:
      return fmt::format("kpar at `{}` has size {} bytes but the expected size was {} bytes", text_, n2_, n1_);
    case Kind::EmptyKpar: return fmt::format("kpar at `{}` is an empty file", text_);
    case Kind::FileNotFound: return fmt::format("project read error: file `{}` not found", text_);
    case Kind::IoRead: return "failed to read from reader: " + inner_text();
    case Kind::LocalSrc: return inner_text();
  }
  return {};
}

const Error* ProjectError::cause() const {
  if (kind_ == Kind::ImpossibleRelativePath || kind_ == Kind::IoRead) return inner_.get();
  if (kind_ == Kind::LocalSrc) return inner_->cause();
  return nullptr;
}

std::string ProjectError::debug() const {
  const char* name = kKindNames[static_cast<int>(kind_)];
  switch (kind_) {
    case Kind::MissingMeta:
    case Kind::MissingInfoMeta:
    case Kind::MissingInfo: return name;
    case Kind::AlreadyExists:
    case Kind::NotFound:
    case Kind::FileNotFound:
    case Kind::Other: return fmt::format("{}({})", name, debug_quote(text_));
    case Kind::EmptyKpar: return fmt::format("{} {{ path: {} }}", name, debug_quote(text_));
    case Kind::Deserialize:
      return fmt::format("{}(ProjectDeserializationError {{ path: {}, err: {} }})", name, debug_quote(text_),
                         inner_->debug());
    case Kind::Serialize:
      return fmt::format("{}(ProjectSerializationError {{ msg: {}, err: {} }})", name, debug_quote(text_),
                         inner_ ? inner_->debug() : std::string());
    case Kind::Path:
    case Kind::Io:
    case Kind::Zip:
    case Kind::ImpossibleRelativePath:
    case Kind::IoRead:
    case Kind::LocalSrc: return fmt::format("{}({})", name, inner_->debug());
    case Kind::PublisherMismatch:
      return fmt::format("{} {{ expected: {}, actual: {} }}", name, debug_optional(opt1_), debug_optional(opt2_));
    case Kind::NameMismatch:
      return fmt::format("{} {{ expected: {}, actual: {} }}", name, debug_quote(text_), debug_quote(text2_));
    case Kind::DigestMismatch:
      return fmt::format("{} {{ path: {}, expected: {}, computed: {} }}", name, debug_quote(text_),
                         debug_quote(opt1_.value_or("")), debug_quote(text2_));
    case Kind::SizeMismatch:
      return fmt::format("{} {{ path: {}, expected: {}, actual: {} }}", name, debug_quote(text_), n1_, n2_);
  }
  return name;
}

LocalPathProjectError LocalPathProjectError::from_src_read(LocalSrcError err) {
  switch (err.kind()) {
    case Kind::Deserialize:
    case Kind::Path: return LocalPathProjectError(std::move(err));
    case Kind::AlreadyExists: return LocalPathProjectError(unexpected_internal(err));
    default: return from_src(std::move(err));
  }
}

LocalPathProjectError LocalPathProjectError::from_src(LocalSrcError err) {
  return LocalPathProjectError(local_src(make_error<LocalSrcError>(std::move(err))));
}

ProjectSourcesError ProjectSourcesError::project(LocalSrcError err) {
  return ProjectSourcesError(Kind::Project, {}, make_error<LocalSrcError>(std::move(err)));
}

ProjectSourcesError ProjectSourcesError::validation(std::string name, ErrorPtr source) {
  return ProjectSourcesError(Kind::Validation, std::move(name), std::move(source));
}

ProjectSourcesError ProjectSourcesError::path(PathCheckError err) {
  return ProjectSourcesError(Kind::Path, {}, make_error<PathCheckError>(std::move(err)));
}

std::string ProjectSourcesError::message() const {
  if (kind_ == Kind::Validation) return fmt::format("project's `.{}.json` is invalid", name_);
  return inner_->message();
}

const Error* ProjectSourcesError::cause() const {
  switch (kind_) {
    case Kind::Project: return inner_->cause();
    case Kind::Validation: return inner_.get();
    case Kind::Path: return nullptr;
  }
  return nullptr;
}

std::string ProjectSourcesError::debug() const {
  switch (kind_) {
    case Kind::Project: return fmt::format("Project({})", inner_->debug());
    case Kind::Validation: return fmt::format("Validation {{ name: {}, source: {} }}", debug_quote(name_), inner_->debug());
    case Kind::Path: return fmt::format("Path({})", inner_->debug());
  }
  return {};
}

}  // namespace kestro::project
