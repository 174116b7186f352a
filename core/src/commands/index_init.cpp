// `index init`: an index root with an empty project list.
#include <cerrno>
#include <system_error>

#include "index_files.hpp"
#include "kestro/commands/index_add_error.hpp"
#include "kestro/commands/local_index.hpp"
#include "kestro/utils/fs.hpp"
#include "kestro/utils/styles.hpp"

namespace kestro::commands {

namespace {
constexpr std::string_view kTarget = "kestro_core::commands::index::init";
}  // namespace

std::expected<void, IndexError> do_index_init(std::filesystem::path index_root) {
  auto fail = [](IndexInitError err) { return std::unexpected(index_error(std::move(err))); };
  log_status(kTarget, "Creating", "index");
  std::error_code ec;
  std::filesystem::create_directories(index_root, ec);
  if (ec) return fail(IndexInitError::Write{FsIoError::MkDir{index_root, IoError::from_errno(ec.value())}});
  // Written whole or not at all, and never over an existing file.
  const std::filesystem::path index_path = index_root / kIndexJson;
  auto written = write_file_atomic(index_path, to_pretty_json(IndexJson{}), ExistingFile::Keep);
  if (!written) {
    if (written.error().holds<FsIoError::CreateFile>() && written.error().io().code() == EEXIST)
      return fail(IndexInitError::Exists{});
    return fail(IndexInitError::Write{std::move(written.error())});
  }
  return {};
}

}  // namespace kestro::commands
