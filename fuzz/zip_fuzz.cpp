// The zip reader on any bytes, held in an anonymous in-memory file: the
// directory is read, then every entry is looked up by name and read to its
// end (size and CRC-32 checked by the reader).
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz_check.hpp"
#include "kestro/utils/unique_fd.hpp"
#include "kestro/utils/zip_reader.hpp"

using namespace kestro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  UniqueFd fd(memfd_create("zip_fuzz", MFD_CLOEXEC));
  KESTRO_FUZZ_CHECK(fd);
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = write(fd.get(), data + done, size - done);
    KESTRO_FUZZ_CHECK(n > 0);
    done += static_cast<std::size_t>(n);
  }
  auto archive = zip::ZipArchive::from_fd(std::move(fd));
  if (!archive) {
    (void)archive.error().message();
    (void)archive.error().debug();
    return 0;
  }
  const auto& entries = archive->entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const zip::ZipEntry& entry = entries[i];
    (void)entry.unix_mode();
    (void)entry.has_safe_name();
    auto found = archive->find(entry.name);
    KESTRO_FUZZ_CHECK(found.has_value() && *found <= i && entries[*found].name == entry.name);
    auto reader = archive->open_entry(i);
    if (!reader) {
      (void)reader.error().message();
      continue;
    }
    if (auto content = reader->read_all()) {
      KESTRO_FUZZ_CHECK(content->size() == entry.size);
    } else {
      (void)content.error().message();
    }
  }
  return 0;
}
