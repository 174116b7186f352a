// A map from text keys that keeps insertion order. Inserting an existing key
// replaces its value in place; lookups are hashed. Each key is stored once,
// in its entry: the hash index is a flat table of entry positions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestro {

template <typename V>
class OrderedMap {
 public:
  using Entry = std::pair<std::string, V>;

  void insert_or_assign(std::string key, V value) {
    const size_t hash = hash_of(key);
    if (const size_t at = position_of(key, hash); at != kAbsent) {
      entries_[at].second = std::move(value);
      return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (2 * entries_.size() > slots_.size()) {
      rebuild();
    } else {
      place(hash, entries_.size() - 1);
    }
  }

  // Room for `count` entries without moving them or growing the index.
  void reserve(size_t count) {
    entries_.reserve(count);
    if (2 * count > slots_.size()) {
      const size_t held = entries_.size();
      size_t capacity = 16;
      while (capacity < 2 * count) capacity *= 2;
      slots_.assign(capacity, 0);
      for (size_t at = 0; at < held; ++at) place(hash_of(entries_[at].first), at);
    }
  }

  const V* find(std::string_view key) const {
    const size_t at = position_of(key, hash_of(key));
    return at == kAbsent ? nullptr : &entries_[at].second;
  }
  V* find(std::string_view key) {
    const size_t at = position_of(key, hash_of(key));
    return at == kAbsent ? nullptr : &entries_[at].second;
  }
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  bool erase(std::string_view key) {
    const size_t at = position_of(key, hash_of(key));
    if (at == kAbsent) return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    rebuild();
    return true;
  }

  // Reverses the order of the entries.
  void reverse() {
    std::reverse(entries_.begin(), entries_.end());
    rebuild();
  }

  // Removes the last entry and gives it back; none when the map is empty.
  std::optional<Entry> pop_back() {
    if (entries_.empty()) return std::nullopt;
    Entry last = std::move(entries_.back());
    entries_.pop_back();
    rebuild();
    return last;
  }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  const std::vector<Entry>& entries() const { return entries_; }

  bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

 private:
  static constexpr size_t kAbsent = static_cast<size_t>(-1);

  static size_t hash_of(std::string_view key) { return std::hash<std::string_view>{}(key); }
  // A slot holds the upper half of its key's hash beside the entry's
  // position plus one; zero is an empty slot.
  static std::uint64_t tag_of(size_t hash) { return static_cast<std::uint64_t>(hash) >> 32 << 32; }

  size_t position_of(std::string_view key, size_t hash) const {
    if (slots_.empty()) return kAbsent;
    const size_t mask = slots_.size() - 1;
    const std::uint64_t tag = tag_of(hash);
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const std::uint64_t slot = slots_[i];
      if (slot == 0) return kAbsent;
      const size_t at = static_cast<size_t>(slot & 0xFFFFFFFFU) - 1;
      if ((slot & ~std::uint64_t{0xFFFFFFFFU}) == tag && entries_[at].first == key) return at;
    }
  }

  void place(size_t hash, size_t at) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = tag_of(hash) | static_cast<std::uint64_t>(at + 1);
  }

  // A table at most half full, filled again from the entries.
  void rebuild() {
    slots_.clear();
    reserve(entries_.size());
  }

  std::vector<Entry> entries_;
  std::vector<std::uint64_t> slots_;
};

}  // namespace kestro
