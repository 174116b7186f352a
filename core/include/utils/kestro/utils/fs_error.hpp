// Errors of file-system calls: the call that failed, the paths it named and
// the operating system's error.
#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <variant>

#include "kestro/utils/error.hpp"
#include "kestro/utils/error_sum.hpp"

namespace kestro {

namespace fs = std::filesystem;

// The variants of FsIoError, one per file-system call: the path(s) the call
// named, a seek position, and the I/O error.
struct FsIoVariants {
  struct Canonicalize { fs::path path; IoError io; };
  struct Absolute { fs::path path; IoError io; };
  struct MkDir { fs::path path; IoError io; };
  struct OpenFile { fs::path path; IoError io; };
  struct Metadata { fs::path path; IoError io; };
  struct MetadataHandle { IoError io; };
  struct CreateTempFile { IoError io; };
  struct MkTempDir { IoError io; };
  struct WriteFile { fs::path path; IoError io; };
  struct ReadDir { fs::path path; IoError io; };
  struct ReadFile { fs::path path; IoError io; };
  struct ReadFileHandle { IoError io; };
  struct Move { fs::path from; fs::path to; IoError io; };
  struct CreateFile { fs::path path; IoError io; };
  struct CopyFile { fs::path from; fs::path to; IoError io; };
  struct RmFile { fs::path path; IoError io; };
  struct LockFile { fs::path path; IoError io; };
  struct RmDir { fs::path path; IoError io; };
  struct CurrentDir { IoError io; };
  struct IsFile { fs::path path; IoError io; };
  struct IsDir { fs::path path; IoError io; };
  struct Seek { fs::path path; std::uint64_t position; IoError io; };
  using Sum = std::variant<Canonicalize, Absolute, MkDir, OpenFile, Metadata, MetadataHandle, CreateTempFile,
                           MkTempDir, WriteFile, ReadDir, ReadFile, ReadFileHandle, Move, CreateFile, CopyFile,
                           RmFile, LockFile, RmDir, CurrentDir, IsFile, IsDir, Seek>;
};

// The error of one file-system call. Its cause is always empty: the I/O
// error is part of the message.
class FsIoError : public ErrorSum<FsIoError, FsIoVariants> {
 public:
  using ErrorSum::ErrorSum;

  // The path the call named (the source of Move and CopyFile); empty for the
  // calls that name none.
  const fs::path& path() const;
  // The I/O error of whichever call failed.
  const IoError& io() const {
    return visit([](const auto& v) -> const IoError& { return v.io; });
  }

  static std::string text_of(const Canonicalize& v);
  static std::string text_of(const Absolute& v);
  static std::string text_of(const MkDir& v);
  static std::string text_of(const OpenFile& v);
  static std::string text_of(const Metadata& v);
  static std::string text_of(const MetadataHandle& v);
  static std::string text_of(const CreateTempFile& v);
  static std::string text_of(const MkTempDir& v);
  static std::string text_of(const WriteFile& v);
  static std::string text_of(const ReadDir& v);
  static std::string text_of(const ReadFile& v);
  static std::string text_of(const ReadFileHandle& v);
  static std::string text_of(const Move& v);
  static std::string text_of(const CreateFile& v);
  static std::string text_of(const CopyFile& v);
  static std::string text_of(const RmFile& v);
  static std::string text_of(const LockFile& v);
  static std::string text_of(const RmDir& v);
  static std::string text_of(const CurrentDir& v);
  static std::string text_of(const IsFile& v);
  static std::string text_of(const IsDir& v);
  static std::string text_of(const Seek& v);
  // The variant's name, then its fields in order.
  static std::string debug_of(const Canonicalize& v) { return debug_path("Canonicalize", v.path, v.io); }
  static std::string debug_of(const Absolute& v) { return debug_path("Absolute", v.path, v.io); }
  static std::string debug_of(const MkDir& v) { return debug_path("MkDir", v.path, v.io); }
  static std::string debug_of(const OpenFile& v) { return debug_path("OpenFile", v.path, v.io); }
  static std::string debug_of(const Metadata& v) { return debug_path("Metadata", v.path, v.io); }
  static std::string debug_of(const MetadataHandle& v) { return debug_io("MetadataHandle", v.io); }
  static std::string debug_of(const CreateTempFile& v) { return debug_io("CreateTempFile", v.io); }
  static std::string debug_of(const MkTempDir& v) { return debug_io("MkTempDir", v.io); }
  static std::string debug_of(const WriteFile& v) { return debug_path("WriteFile", v.path, v.io); }
  static std::string debug_of(const ReadDir& v) { return debug_path("ReadDir", v.path, v.io); }
  static std::string debug_of(const ReadFile& v) { return debug_path("ReadFile", v.path, v.io); }
  static std::string debug_of(const ReadFileHandle& v) { return debug_io("ReadFileHandle", v.io); }
  static std::string debug_of(const Move& v) { return debug_two("Move", v.from, v.to, v.io); }
  static std::string debug_of(const CreateFile& v) { return debug_path("CreateFile", v.path, v.io); }
  static std::string debug_of(const CopyFile& v) { return debug_two("CopyFile", v.from, v.to, v.io); }
  static std::string debug_of(const RmFile& v) { return debug_path("RmFile", v.path, v.io); }
  static std::string debug_of(const LockFile& v) { return debug_path("LockFile", v.path, v.io); }
  static std::string debug_of(const RmDir& v) { return debug_path("RmDir", v.path, v.io); }
  static std::string debug_of(const CurrentDir& v) { return debug_io("CurrentDir", v.io); }
  static std::string debug_of(const IsFile& v) { return debug_path("IsFile", v.path, v.io); }
  static std::string debug_of(const IsDir& v) { return debug_path("IsDir", v.path, v.io); }
  static std::string debug_of(const Seek& v);

 private:
  static std::string debug_io(const char* name, const IoError& io);
  static std::string debug_path(const char* name, const fs::path& path, const IoError& io);
  static std::string debug_two(const char* name, const fs::path& from, const fs::path& to, const IoError& io);
};

// A path shown inside a message: invalid UTF-8 becomes U+FFFD.
std::string display_path(const fs::path& path);

}  // namespace kestro
