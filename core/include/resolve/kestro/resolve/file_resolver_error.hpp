// The file resolver's error, apart from the resolver so that the errors of
// the resolvers that run it can hold it by value.
#pragma once

#include "kestro/resolve/namespace.hpp"

#include <filesystem>
#include <string>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/fs_error.hpp"
#include "kestro/utils/url.hpp"

namespace kestro::resolve {

struct FileResolverVariants {
  // A path that is not valid UTF-8.
  struct InvalidPath { std::filesystem::path path; };
  struct IriNotValidUrl { std::string iri; url::UrlError err; };
  // A `file:` URL naming another host or without a usable path.
  struct FailedPathExtract {};
  struct Io { FsIoError err; };
  using Sum = std::variant<InvalidPath, IriNotValidUrl, FailedPathExtract, Io>;
};
class FileResolverError : public ErrorSum<FileResolverError, FileResolverVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const InvalidPath& v);
  static std::string text_of(const IriNotValidUrl& v);
  static std::string text_of(const FailedPathExtract&) { return "failed to extract path from file URL"; }
  static std::string text_of(const Io& v) { return v.err.message(); }
  static std::string debug_of(const InvalidPath& v);
  static std::string debug_of(const IriNotValidUrl& v);
  static std::string debug_of(const FailedPathExtract&) { return "FailedPathExtract"; }
  static std::string debug_of(const Io& v) { return "Io(" + v.err.debug() + ")"; }
};

}  // namespace kestro::resolve
