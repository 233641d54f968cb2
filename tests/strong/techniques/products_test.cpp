// Product plans: every word's node expands to exactly that word, nodes only use earlier
// nodes, and sharing repeated factors never takes more products than building each word
// alone; on sides with many common factors it takes far fewer than suffix sharing.
#include "strong/techniques/products.h"

#include <gtest/gtest.h>

#include <random>

namespace velkin::strong {
namespace {

void ExpectValid(const ProductPlan& plan, const std::vector<Word>& words) {
  ASSERT_EQ(plan.words.size(), words.size());
  for (std::size_t k = 0; k < plan.nodes.size(); ++k) {
    const int self = plan.letters + static_cast<int>(k);
    EXPECT_LT(plan.nodes[k].left, self);
    EXPECT_LT(plan.nodes[k].right, self);
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i].empty()) {
      EXPECT_FALSE(plan.words[i]);
      continue;
    }
    ASSERT_TRUE(plan.words[i]);
    EXPECT_EQ(Expand(plan, *plan.words[i]), words[i]);
  }
}

TEST(ProductPlan, ExpandsToTheWordsAndNeverTakesMoreThanWordByWord) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    const int letters = 1 + static_cast<int>(rng() % 4);
    std::vector<Word> words(1 + rng() % 12);
    std::size_t alone = 0;
    for (Word& w : words) {
      w.resize(rng() % 14);  // the empty word included
      for (Symbol& a : w) a = static_cast<Symbol>(rng() % letters);
      alone += w.empty() ? 0 : w.size() - 1;
    }
    const ProductPlan shared = PlanProducts(letters, words);
    ExpectValid(shared, words);
    EXPECT_LE(shared.Products(), alone);
    for (const bool fromRight : {true, false})
      ExpectValid(ChainPlan(letters, words, fromRight), words);
  }
}

TEST(ProductPlan, SharesFactorsThatSuffixesMiss) {
  // Long random words over three letters share almost no suffixes, but every factor of
  // length 4 occurs many times.
  std::mt19937 rng(11);
  std::vector<Word> words(100, Word(24));
  for (Word& w : words)
    for (Symbol& a : w) a = static_cast<Symbol>(rng() % 3);
  const std::size_t chain = ChainPlan(3, words, true).Products();
  const std::size_t shared = PlanProducts(3, words).Products();
  EXPECT_GT(chain, 2000u);
  EXPECT_LT(shared * 2, chain);
  // A word repeated inside itself: a^16 takes 4 products (squares), not 15.
  EXPECT_EQ(PlanProducts(1, {Word(16, 0)}).Products(), 4u);
}

}  // namespace
}  // namespace velkin::strong
