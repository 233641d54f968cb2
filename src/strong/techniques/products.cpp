#include "strong/techniques/products.h"

#include <cassert>
#include <cstdint>
#include <unordered_map>

namespace velkin::strong {
namespace {

std::uint64_t Key(int a, int b) {
  return static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32 |
         static_cast<std::uint32_t>(b);
}

// Nodes by their two factors: the same pair always gives the same node.
class Builder {
 public:
  explicit Builder(int letters) { plan_.letters = letters; }

  int Pair(int a, int b) {
    assert(a < plan_.letters + static_cast<int>(plan_.nodes.size()));
    assert(b < plan_.letters + static_cast<int>(plan_.nodes.size()));
    auto [it, fresh] = index_.try_emplace(Key(a, b), 0);
    if (fresh) {
      it->second = plan_.letters + static_cast<int>(plan_.nodes.size());
      plan_.nodes.push_back({a, b});
    }
    return it->second;
  }

  ProductPlan& plan() { return plan_; }

 private:
  ProductPlan plan_;
  std::unordered_map<std::uint64_t, int> index_;
};

}  // namespace

ProductPlan PlanProducts(int letters, const std::vector<Word>& words) {
  Builder b(letters);
  std::vector<std::vector<int>> seqs;
  seqs.reserve(words.size());
  for (const Word& w : words) seqs.emplace_back(w.begin(), w.end());

  // Rounds: every adjacent pair that occurs at least twice (counting overlaps) becomes
  // one node, unless the pair to its right occurs more often (then that one is taken).
  // Each replacement shortens a word by one and costs at most one product, so the plan
  // never takes more products than building every word alone.
  for (bool changed = true; changed;) {
    changed = false;
    std::unordered_map<std::uint64_t, int> count;
    for (const auto& s : seqs)
      for (std::size_t i = 0; i + 1 < s.size(); ++i) ++count[Key(s[i], s[i + 1])];
    for (auto& s : seqs) {
      std::vector<int> next;
      next.reserve(s.size());
      for (std::size_t i = 0; i < s.size();) {
        if (i + 1 < s.size()) {
          const int here = count[Key(s[i], s[i + 1])];
          const int right = i + 2 < s.size() ? count[Key(s[i + 1], s[i + 2])] : 0;
          if (here >= 2 && here >= right) {
            next.push_back(b.Pair(s[i], s[i + 1]));
            i += 2;
            changed = true;
            continue;
          }
        }
        next.push_back(s[i++]);
      }
      s = std::move(next);
    }
  }
  // What is left is multiplied from the left (common prefixes give common nodes).
  ProductPlan& plan = b.plan();
  for (const auto& s : seqs) {
    if (s.empty()) {
      plan.words.push_back(std::nullopt);
      continue;
    }
    int acc = s[0];
    for (std::size_t i = 1; i < s.size(); ++i) acc = b.Pair(acc, s[i]);
    plan.words.push_back(acc);
  }
  return std::move(plan);
}

ProductPlan ChainPlan(int letters, const std::vector<Word>& words, bool fromRight) {
  Builder b(letters);
  for (const Word& w : words) {
    if (w.empty()) {
      b.plan().words.push_back(std::nullopt);
      continue;
    }
    int acc = fromRight ? w.back() : w.front();
    for (std::size_t i = 1; i < w.size(); ++i)
      acc = fromRight ? b.Pair(w[w.size() - 1 - i], acc) : b.Pair(acc, w[i]);
    b.plan().words.push_back(acc);
  }
  return std::move(b.plan());
}

Word Expand(const ProductPlan& plan, int n) {
  if (plan.IsLetter(n)) return Word{n};
  const ProductPlan::Node& node = plan.nodes[n - plan.letters];
  Word w = Expand(plan, node.left);
  const Word r = Expand(plan, node.right);
  w.insert(w.end(), r.begin(), r.end());
  return w;
}

}  // namespace velkin::strong
