// What is made of a derivation tree after a failed solve: the tree with its
// no-version facts folded into their neighbours, and the numbered text
// report that explains it step by step.
#pragma once

#include "kestro/solve/namespace.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "kestro/solve/pubgrub.hpp"

namespace kestro::solve::pubgrub {

// Where a derived node has as one cause the fact that no version of X lies
// in S, the other cause (folded the same way) takes the node's place; when
// that cause is a dependency fact, its set on the side that names X is
// widened by S. A node whose other cause is itself an external fact of
// another kind stays as it is.
template <typename P, typename V, typename S>
DerivationTree<P, V, S> collapse_no_versions(const DerivationTree<P, V, S>& tree) {
  using Tree = DerivationTree<P, V, S>;
  const auto* derived = std::get_if<typename Tree::Derived>(&tree.node);
  if (!derived) return tree;
  const auto* first_none = std::get_if<typename Tree::NoVersions>(&derived->cause1->node);
  const auto* second_none = std::get_if<typename Tree::NoVersions>(&derived->cause2->node);
  if (first_none || second_none) {
    const auto* none = first_none ? first_none : second_none;
    const Tree& other = first_none ? *derived->cause2 : *derived->cause1;
    if (std::holds_alternative<typename Tree::Derived>(other.node)) return collapse_no_versions(other);
    if (const auto* dep = std::get_if<typename Tree::FromDependencyOf>(&other.node)) {
      auto widened = *dep;
      if (widened.package == none->package) widened.set = widened.set.union_with(none->set);
      if (widened.dependency == none->package) widened.dependency_set = widened.dependency_set.union_with(none->set);
      return Tree{std::move(widened)};
    }
    return tree;
  }
  typename Tree::Derived out{std::make_shared<const Tree>(collapse_no_versions(*derived->cause1)),
                             std::make_shared<const Tree>(collapse_no_versions(*derived->cause2)), derived->terms};
  return Tree{std::move(out)};
}

// The report: one sentence per derived node, depth first, each naming what
// its causes state; a derived fact used more than once gets a number on its
// line and is named by that number later. `W` supplies the words:
// package(p), is_root(p), version(v) and set(s).
template <typename P, typename V, typename S, typename W>
class Reporter {
 public:
  using Tree = DerivationTree<P, V, S>;
  explicit Reporter(const W& words) : words_(words) {}

  std::string report(const Tree& tree) {
    if (!std::holds_alternative<typename Tree::Derived>(tree.node)) return external(tree) + ".";
    count_uses(tree);
    visit(tree, true);
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) out += (i ? "\n" : "") + lines_[i];
    return out;
  }

 private:
  using Derived = typename Tree::Derived;

  void count_uses(const Tree& tree) {
    const auto* d = std::get_if<Derived>(&tree.node);
    if (!d) return;
    for (const auto* cause : {d->cause1.get(), d->cause2.get()})
      if (std::holds_alternative<Derived>(cause->node) && ++uses_[cause] == 1) count_uses(*cause);
  }

  std::string on(const P& p, const S& s) const {
    return words_.is_root(p) ? words_.package(p) : fmt::format("{} at {}", words_.package(p), words_.set(s));
  }
  std::string term_text(const P& p, const Term<S>& t) const {
    return t.positive ? on(p, t.set) : fmt::format("{} not at {}", words_.package(p), words_.set(t.set));
  }

  std::string external(const Tree& tree) const {
    return std::visit(
        [&](const auto& e) -> std::string {
          using E = std::decay_t<decltype(e)>;
          if constexpr (std::is_same_v<E, typename Tree::NotRoot>) {
            return fmt::format("{} are what is solved", words_.package(e.package));
          } else if constexpr (std::is_same_v<E, typename Tree::NoVersions>) {
            return fmt::format("{} has no version in {}", words_.package(e.package), words_.set(e.set));
          } else if constexpr (std::is_same_v<E, typename Tree::FromDependencyOf>) {
            return fmt::format("{} depends on {}", on(e.package, e.set), on(e.dependency, e.dependency_set));
          } else if constexpr (std::is_same_v<E, typename Tree::Unavailable>) {
            return fmt::format("{} is unavailable: {}", on(e.package, e.set), e.reason);
          } else {
            return derived_text(e, false);
          }
        },
        tree.node);
  }

  std::string derived_text(const Derived& d, bool conclusion) const {
    const auto& terms = d.terms;
    if (conclusion || terms.empty()) return "version solving failed";
    if (terms.size() == 1)
      return terms[0].second.positive ? on(terms[0].first, terms[0].second.set) + " is forbidden"
                                      : on(terms[0].first, terms[0].second.set) + " is required";
    if (terms.size() == 2 && terms[0].second.positive != terms[1].second.positive) {
      const auto& pos = terms[0].second.positive ? terms[0] : terms[1];
      const auto& neg = terms[0].second.positive ? terms[1] : terms[0];
      return fmt::format("{} depends on {}", on(pos.first, pos.second.set), on(neg.first, neg.second.set));
    }
    std::string out;
    for (std::size_t i = 0; i < terms.size(); ++i)
      out += (i == 0 ? "" : i + 1 == terms.size() ? " and " : ", ") + term_text(terms[i].first, terms[i].second);
    return out + " cannot all hold";
  }

  // A cause named in a sentence: its fact, with its number when it has one.
  std::string named(const Tree& cause) const {
    auto it = numbers_.find(&cause);
    if (it == numbers_.end()) return external(cause);
    return fmt::format("{} ({})", external(cause), it->second);
  }
  bool numbered(const Tree& t) const { return numbers_.count(&t) != 0; }
  bool is_derived(const Tree& t) const { return std::holds_alternative<Derived>(t.node); }

  void add(const Tree& node, std::string line) {
    auto it = uses_.find(&node);
    if (it != uses_.end() && it->second > 1) {
      numbers_[&node] = ++last_number_;
      line = fmt::format("({}) {}", last_number_, line);
    }
    lines_.push_back(std::move(line));
  }

  void visit(const Tree& node, bool conclusion) {
    const auto& d = std::get<Derived>(node.node);
    const Tree& a = *d.cause1;
    const Tree& b = *d.cause2;
    const std::string text = derived_text(d, conclusion);
    const std::string lead = conclusion && !lines_.empty() ? "So, because " : "Because ";
    if (is_derived(a) && is_derived(b)) {
      if (numbered(a) && numbered(b)) {
        add(node, fmt::format("{}{} and {}, {}.", lead, named(a), named(b), text));
      } else if (numbered(a) || numbered(b)) {
        const Tree& done = numbered(a) ? a : b;
        visit(numbered(a) ? b : a, false);
        add(node, fmt::format("And because {}, {}.", named(done), text));
      } else {
        // The first cause's line gets a number so that the sentence after
        // the second cause's lines can name it.
        visit(a, false);
        if (!numbered(a)) {
          numbers_[&a] = ++last_number_;
          lines_.back() = fmt::format("({}) {}", last_number_, lines_.back());
        }
        visit(b, false);
        add(node, fmt::format("And because {}, {}.", named(a), text));
      }
    } else if (is_derived(a) || is_derived(b)) {
      const Tree& inner = is_derived(a) ? a : b;
      const Tree& outer = is_derived(a) ? b : a;
      if (numbered(inner)) {
        add(node, fmt::format("{}{} and {}, {}.", lead, external(outer), named(inner), text));
      } else {
        visit(inner, false);
        add(node, fmt::format("And because {}, {}.", external(outer), text));
      }
    } else {
      add(node, fmt::format("{}{} and {}, {}.", lead, external(a), external(b), text));
    }
  }

  const W& words_;
  std::map<const Tree*, int> uses_;
  std::map<const Tree*, int> numbers_;
  int last_number_ = 0;
  std::vector<std::string> lines_;
};

template <typename P, typename V, typename S, typename W>
std::string report(const DerivationTree<P, V, S>& tree, const W& words) {
  return Reporter<P, V, S, W>(words).report(tree);
}

}  // namespace kestro::solve::pubgrub
