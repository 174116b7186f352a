#include <algorithm>

#include "kestro/utils/toml_document.hpp"

namespace kestro::toml {

Integer Integer::make(unsigned __int128 magnitude, bool negative) {
  Integer i;
  i.low = static_cast<uint64_t>(magnitude);
  i.high = static_cast<uint64_t>(magnitude >> 64);
  i.negative = negative && magnitude != 0;
  return i;
}

Integer Integer::from_i64(int64_t v) {
  const bool negative = v < 0;
  return make(negative ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v), negative);
}

std::optional<int64_t> Integer::to_i64() const {
  constexpr unsigned __int128 max = static_cast<unsigned __int128>(INT64_MAX);
  const unsigned __int128 m = magnitude();
  if (negative) {
    if (m > max + 1) return std::nullopt;
    return static_cast<int64_t>(-static_cast<__int128>(m));
  }
  if (m > max) return std::nullopt;
  return static_cast<int64_t>(m);
}

std::optional<uint64_t> Integer::to_u64() const {
  if (negative || high != 0) return std::nullopt;
  return low;
}

std::string Integer::to_string() const {
  char buf[48];
  char* p = buf + sizeof buf;
  unsigned __int128 v = magnitude();
  do {
    *--p = static_cast<char>('0' + static_cast<int>(v % 10));
    v /= 10;
  } while (v != 0);
  if (negative) *--p = '-';
  return std::string(p, buf + sizeof buf);
}

std::span<const NodeId> Document::items(NodeId id) const {
  if (nodes_[id].kind != Kind::Array) return {};
  return children_[nodes_[id].index].items;
}

std::span<const Entry> Document::entries(NodeId id) const {
  if (nodes_[id].kind != Kind::Table) return {};
  return children_[nodes_[id].index].entries;
}

NodeId Document::get(NodeId table, std::string_view key) const {
  for (const Entry& e : entries(table))
    if (e.key == key) return e.value;
  return kNoNode;
}

std::string_view Document::text(NodeId id) const {
  const Node& n = nodes_[id];
  if (!n.has_span) return {};
  return std::string_view(source_).substr(n.span.begin, n.span.size());
}

std::string_view Document::string_value(NodeId id) const {
  const Node& n = nodes_[id];
  if (n.kind == Kind::Datetime) return text(id);
  if (n.kind != Kind::String) return {};
  if (n.owns_text) return texts_[n.index];
  return std::string_view(source_).substr(n.content.begin, n.content.size());
}

std::vector<std::string> Document::key_path(NodeId id) const {
  std::vector<std::string> keys;
  for (NodeId child = id, parent = nodes_[id].parent; parent != kNoNode; child = parent, parent = nodes_[parent].parent) {
    for (const Entry& e : entries(parent))
      if (e.value == child) keys.push_back(e.key);
  }
  std::reverse(keys.begin(), keys.end());
  return keys;
}

void Document::replace_value_text(NodeId id, std::string text) {
  const Node& n = nodes_[id];
  if (!n.has_span) internal_error("a TOML value without a place in the text cannot be replaced");
  const Span span = n.span;
  auto first = std::lower_bound(patches_.begin(), patches_.end(), span.begin,
                                [](const Patch& p, size_t begin) { return p.span.end <= begin; });
  if (first != patches_.end() && first->span.begin < span.begin)
    internal_error("a TOML value inside a replaced value cannot be replaced");
  auto last = first;
  while (last != patches_.end() && last->span.end <= span.end) ++last;
  if (last != patches_.end() && last->span.begin < span.end)
    internal_error("a TOML value inside a replaced value cannot be replaced");
  first = patches_.erase(first, last);
  patches_.insert(first, Patch{span, std::move(text)});
}

std::string Document::to_string() const {
  std::string out;
  out.reserve(source_.size());
  size_t next_patch = 0;
  auto emit = [&](Span range) {
    size_t at = range.begin;
    while (next_patch < patches_.size() && patches_[next_patch].span.begin < range.end) {
      const Patch& p = patches_[next_patch++];
      out.append(source_, at, p.span.begin - at);
      out += p.text;
      at = p.span.end;
    }
    out.append(source_, at, range.end - at);
  };
  for (const Statement& st : statements_) emit(st.span);
  emit(trailer_);
  return out;
}

}  // namespace kestro::toml
