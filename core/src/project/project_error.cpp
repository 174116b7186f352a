#include "kestro/project/project_error.hpp"

#include <fmt/format.h>

namespace kestro {

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
  }
  return {};
}

const Error* ProjectError::cause() const {
  if (kind_ == Kind::ImpossibleRelativePath || kind_ == Kind::IoRead) return inner_.get();
  return nullptr;
}

std::string ProjectError::debug() const { return message(); }

}  // namespace kestro
