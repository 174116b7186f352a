// Failures of KPAR archives as archives: reading or writing the zip
// container, and the compression names a KPAR may be written with.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <string>
#include <string_view>

#include "kestro/utils/error.hpp"

namespace kestro::project {

// A failure of the zip facility while reading or writing a KPAR. The zip
// error is the facility's own error value.
class ZipArchiveError : public Error {
 public:
  enum class Kind { ReadArchive, FileMeta, NamedFileMeta, InvalidPath, Write, Finish };
  ZipArchiveError(Kind kind, std::string name, ErrorPtr zip)
      : kind_(kind), name_(std::move(name)), zip_(std::move(zip)) {}
  Kind kind() const { return kind_; }
  const Error* zip_error() const { return zip_.get(); }
  std::string message() const override;
  std::string debug() const override;

 private:
  Kind kind_;
  std::string name_;  // archive path, entry name or file path, per variant
  ErrorPtr zip_;
};

// A compression method name that cannot be used for a KPAR build.
class CompressionError : public Error {
 public:
  enum class Kind { SuggestFeature, Invalid };
  Kind kind() const { return kind_; }
  std::string message() const override;
  std::string debug() const override;
  static CompressionError suggest_feature(std::string compression, std::string feature) {
    return CompressionError(Kind::SuggestFeature, std::move(compression), std::move(feature));
  }
  static CompressionError invalid(std::string text) { return CompressionError(Kind::Invalid, std::move(text), {}); }

 private:
  CompressionError(Kind kind, std::string a, std::string b) : kind_(kind), a_(std::move(a)), b_(std::move(b)) {}
  Kind kind_;
  std::string a_;
  std::string b_;
};

enum class KparCompression { Stored, Deflated };

// "STORED" and "DEFLATED", matched exactly.
std::expected<KparCompression, CompressionError> parse_compression(std::string_view name);

}  // namespace kestro::project
