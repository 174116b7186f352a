// A map from text keys that keeps insertion order. Inserting an existing key
// replaces its value in place; lookups are hashed.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestro {

template <typename V>
class OrderedMap {
 public:
  using Entry = std::pair<std::string, V>;

  void insert_or_assign(std::string key, V value) {
    if (auto it = index_.find(key); it != index_.end()) {
      entries_[it->second].second = std::move(value);
      return;
    }
    index_.emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
  }

  const V* find(std::string_view key) const {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  V* find(std::string_view key) {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
  }
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  bool erase(std::string_view key) {
    auto it = index_.find(std::string(key));
    if (it == index_.end()) return false;
    size_t pos = it->second;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    index_.erase(it);
    for (auto& [k, i] : index_)
      if (i > pos) --i;
    return true;
  }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  const std::vector<Entry>& entries() const { return entries_; }

  bool operator==(const OrderedMap& other) const { return entries_ == other.entries_; }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace kestro
