#include "kestro/lock/lock_order.hpp"

#include <algorithm>
#include <string_view>

#include "kestro/utils/path_parts.hpp"

namespace kestro::lock {
namespace {

std::strong_ordering compare_text(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char>::compare orders as unsigned bytes
  return c < 0 ? std::strong_ordering::less : c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal;
}

std::strong_ordering compare_lists(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end(), compare_text);
}

// The fields of a source in comparison order.
struct Fields {
  std::string_view location;
  bool location_is_path;
  std::uint64_t size;
  std::string_view digest;
};

Fields fields_of(const Source& s) {
  return std::visit(
      [](const auto& v) -> Fields {
        using S = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<S, EditableSource>) return {v.editable, true, 0, {}};
        if constexpr (std::is_same_v<S, LocalSrcSource>) return {v.src_path, true, 0, v.checksum};
        if constexpr (std::is_same_v<S, LocalKparSource>) return {v.kpar_path, true, v.kpar_size, v.kpar_digest};
        if constexpr (std::is_same_v<S, RemoteKparSource>) return {v.remote_kpar, false, v.kpar_size, v.kpar_digest};
        if constexpr (std::is_same_v<S, IndexKparSource>) return {v.index_kpar, false, v.kpar_size, v.kpar_digest};
        if constexpr (std::is_same_v<S, RemoteSrcSource>) return {v.remote_src, false, 0, v.checksum};
        if constexpr (std::is_same_v<S, RemoteGitSource>) return {v.remote_git, false, 0, {}};
      },
      s);
}

void lower_ascii(std::string& text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

void lower_digest(Source& s) {
  std::visit(
      [](auto& v) {
        if constexpr (requires { v.kpar_digest; }) lower_ascii(v.kpar_digest);
        if constexpr (requires { v.checksum; }) lower_ascii(v.checksum);
      },
      s);
}

}  // namespace

std::strong_ordering compare_lock_sources(const Source& a, const Source& b) {
  if (auto k = a.index() <=> b.index(); k != 0) return k;
  const Fields fa = fields_of(a), fb = fields_of(b);
  if (auto l = fa.location_is_path ? compare_paths(fa.location, fb.location) : compare_text(fa.location, fb.location);
      l != 0)
    return l;
  if (auto s = fa.size <=> fb.size; s != 0) return s;
  return compare_text(fa.digest, fb.digest);
}

std::strong_ordering compare_lock_projects(const Project& a, const Project& b) {
  if (auto c = compare_text(a.name, b.name); c != 0) return c;
  if (auto c = compare_lists(a.exports, b.exports); c != 0) return c;
  if (auto c = compare_lists(a.identifiers, b.identifiers); c != 0) return c;
  return compare_text(a.version, b.version);
}

Lock canonicalize_lock(Lock lock) {
  auto text_less = [](const std::string& a, const std::string& b) { return compare_text(a, b) < 0; };
  for (Project& p : lock.project) {
    std::stable_sort(p.exports.begin(), p.exports.end(), text_less);
    std::stable_sort(p.usages.begin(), p.usages.end(), text_less);
    std::stable_sort(p.sources.begin(), p.sources.end(),
                     [](const Source& a, const Source& b) { return compare_lock_sources(a, b) < 0; });
  }
  std::stable_sort(lock.project.begin(), lock.project.end(),
                   [](const Project& a, const Project& b) { return compare_lock_projects(a, b) < 0; });
  for (Project& p : lock.project)
    for (Source& s : p.sources) lower_digest(s);
  return lock;
}

}  // namespace kestro::lock
