#include "kestro/lock/lock_prune.hpp"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "kestro/model/relative_path.hpp"

namespace kestro::lock {
namespace {

bool is_root(const Project& p) {
  if (p.sources.size() != 1) return false;
  const auto* e = std::get_if<EditableSource>(&p.sources.front());
  return e && validate_relative_path(e->editable, RelativePathKind::ProjectDirectory).has_value();
}

}  // namespace

std::optional<std::vector<Project>> prune_lock(Lock& lock, const std::optional<std::string>& publisher,
                                               std::string_view name, std::string_view removed_usage) {
  std::vector<Project>& projects = lock.project;
  std::unordered_map<std::string_view, size_t> by_id;
  for (size_t i = 0; i < projects.size(); ++i)
    if (!projects[i].identifiers.empty()) by_id.insert_or_assign(projects[i].identifiers.front(), i);

  std::vector<bool> kept(projects.size(), false);
  std::deque<size_t> queue;
  std::optional<size_t> current;
  for (size_t i = 0; i < projects.size(); ++i) {
    if (!is_root(projects[i])) continue;
    kept[i] = true;
    if (projects[i].publisher == publisher && projects[i].name == name)
      current = i;  // the last matching root; the others are kept but not followed
    else
      queue.push_back(i);
  }
  if (!current) return std::nullopt;

  auto keep = [&](std::string_view usage) {
    const auto found = by_id.find(usage);
    if (found != by_id.end() && !kept[found->second]) {
      kept[found->second] = true;
      queue.push_back(found->second);
    }
  };
  bool listed = false;
  for (const std::string& usage : projects[*current].usages) {
    if (usage == removed_usage)
      listed = true;
    else
      keep(usage);
  }
  if (!listed) return std::vector<Project>{};
  // Every occurrence goes: a remaining duplicate would name a project that
  // may be pruned below, and the lock would fail its own validation.
  std::erase(projects[*current].usages, removed_usage);

  while (!queue.empty()) {
    const size_t at = queue.front();
    queue.pop_front();
    for (const std::string& usage : projects[at].usages) keep(usage);
  }

  std::vector<Project> removed, remaining;
  for (size_t i = 0; i < projects.size(); ++i) (kept[i] ? remaining : removed).push_back(std::move(projects[i]));
  projects = std::move(remaining);
  return removed;
}

}  // namespace kestro::lock
