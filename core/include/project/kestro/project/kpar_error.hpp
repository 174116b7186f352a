// Failures of KPAR archives as archives: reading or writing the zip
// container, and the compression names a KPAR may be written with.
#pragma once

#include "kestro/project/namespace.hpp"

#include <expected>
#include <string>
#include <string_view>
#include <variant>

#include "kestro/utils/error_sum.hpp"
#include "kestro/utils/zip_reader.hpp"

namespace kestro::project {

// The variants of ZipArchiveError. `zip` is the zip reader's own error.
struct ZipArchiveVariants {
  struct ReadArchive {
    std::string path;
    zip::ZipError zip;
  };
  struct FileMeta {
    zip::ZipError zip;
  };
  // The message shows the entry's name and hides its zip error.
  struct NamedFileMeta {
    std::string name;
    zip::ZipError zip;
  };
  struct InvalidPath {
    std::string name;
  };
  struct Write {
    std::string path;
    zip::ZipError zip;
  };
  struct Finish {
    std::string path;
    zip::ZipError zip;
  };
  using Sum = std::variant<ReadArchive, FileMeta, NamedFileMeta, InvalidPath, Write, Finish>;
};

// A failure of the zip facility while reading or writing a KPAR.
class ZipArchiveError : public ErrorSum<ZipArchiveError, ZipArchiveVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const ReadArchive& v);
  static std::string text_of(const FileMeta& v);
  static std::string text_of(const NamedFileMeta& v);
  static std::string text_of(const InvalidPath& v);
  static std::string text_of(const Write& v);
  static std::string text_of(const Finish& v);
  static std::string debug_of(const ReadArchive& v) { return debug_named("ReadArchive", v.path, v.zip); }
  static std::string debug_of(const FileMeta& v);
  static std::string debug_of(const NamedFileMeta& v) { return debug_named("NamedFileMeta", v.name, v.zip); }
  static std::string debug_of(const InvalidPath& v);
  static std::string debug_of(const Write& v) { return debug_named("Write", v.path, v.zip); }
  static std::string debug_of(const Finish& v) { return debug_named("Finish", v.path, v.zip); }

 private:
  static std::string debug_named(const char* variant, const std::string& name, const zip::ZipError& zip);
};

struct CompressionVariants {
  // `compression` is the name as passed, `feature` the build option that
  // would enable it.
  struct SuggestFeature {
    std::string compression;
    std::string feature;
  };
  struct Invalid {
    std::string text;
  };
  using Sum = std::variant<SuggestFeature, Invalid>;
};

// A compression method name that cannot be used for a KPAR build.
class CompressionError : public ErrorSum<CompressionError, CompressionVariants> {
 public:
  using ErrorSum::ErrorSum;
  static std::string text_of(const SuggestFeature& v);
  static std::string text_of(const Invalid& v) { return v.text; }
  static std::string debug_of(const SuggestFeature& v);
  static std::string debug_of(const Invalid& v);
};

enum class KparCompression { Stored, Deflated };

// "STORED" and "DEFLATED", matched exactly.
std::expected<KparCompression, CompressionError> parse_compression(std::string_view name);

}  // namespace kestro::project
