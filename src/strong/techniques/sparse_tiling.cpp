#include "strong/techniques/sparse_tiling.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>

namespace velkin::strong {

namespace {

// The k-factors of `w`.
std::vector<Word> Factors(const Word& w, int k) {
  std::vector<Word> out;
  for (std::size_t i = 0; i + k <= w.size(); ++i)
    out.emplace_back(w.begin() + static_cast<std::ptrdiff_t>(i),
                     w.begin() + static_cast<std::ptrdiff_t>(i + k));
  return out;
}

// ---- The search ---------------------------------------------------------------------

// The growing tile set of one search, with the walks along it.
class TileSet {
 public:
  TileSet(int letters, int width) : letters_(letters), width_(width) {}

  // Adds every k-factor of `w`; false once there are more than `limit` tiles.
  bool AddFactors(const Word& w, std::size_t limit) {
    for (Word& f : Factors(w, width_)) tiles_.insert(std::move(f));
    return tiles_.size() <= limit;
  }
  std::size_t size() const { return tiles_.size(); }
  const std::set<Word>& tiles() const { return tiles_; }

  // Calls `f(c, y)` for every left context c and right context y such that all k-factors
  // of c m y are tiles; y is #^(k-1) when `atEnd`. `m` is not empty. `f` may add tiles:
  // the set's iterators stay valid, and a tile the walk has passed is seen in the next
  // round. Stops early, having missed some, once `budget` has ended.
  void Occurrences(const Word& m, bool atEnd,
                   const std::function<void(const Word&, const Word&)>& f,
                   const Budget& budget) const {
    const Symbol end = SparseTilingWitness::EndMarker(letters_);
    Word y;
    for (const Word& t : tiles_) {
      if (t.back() != m[0]) continue;
      if (budget.Expired()) return;
      Word window = t;
      bool ok = true;
      for (std::size_t i = 1; i < m.size() && ok; ++i) ok = Step(window, m[i]);
      if (!ok) continue;
      const Word c(t.begin(), t.end() - 1);
      y.clear();
      // The right context, one symbol at a time: a letter or the end marker.
      std::function<void(const Word&)> extend = [&](const Word& at) {
        if (static_cast<int>(y.size()) == width_ - 1) {
          f(c, y);
          return;
        }
        for (Symbol x = atEnd ? end : 0; x <= end; ++x) {
          Word next = at;
          if (!Step(next, x)) continue;
          y.push_back(x);
          extend(next);
          y.pop_back();
        }
      };
      extend(window);
    }
  }

 private:
  // Moves the window one symbol on: true when the new window is a tile.
  bool Step(Word& window, Symbol x) const {
    window.erase(window.begin());
    window.push_back(x);
    return tiles_.count(window) > 0;
  }

  int letters_, width_;
  std::set<Word> tiles_;
};

// ⊢^(k-1) w #^(k-1) as the closure reads it: c w y.
Word Between(const Word& c, const Word& w, const Word& y) {
  Word s = c;
  s.insert(s.end(), w.begin(), w.end());
  s.insert(s.end(), y.begin(), y.end());
  return s;
}

// The printed names of the tiles of one problem: a tile's last symbol with the symbols
// before it in brackets, the borders under names that no letter has.
class TileNames {
 public:
  explicit TileNames(const Alphabet& alphabet)
      : alphabet_(alphabet), left_(alphabet.FreeName("⊢")), end_(alphabet.FreeName("#")) {}

  std::string Of(const Word& tile) const {
    std::string text = NameOf(tile.back()) + "[";
    for (std::size_t i = 0; i + 1 < tile.size(); ++i) text += (i ? "," : "") + NameOf(tile[i]);
    return text + "]";
  }

 private:
  const std::string& NameOf(Symbol s) const {
    const int n = alphabet_.size();
    if (s == SparseTilingWitness::LeftBorder(n)) return left_;
    if (s == SparseTilingWitness::EndMarker(n)) return end_;
    return alphabet_.names[s];
  }

  const Alphabet& alphabet_;
  std::string left_, end_;
};

// ---- The re-check -------------------------------------------------------------------

// Every word c m y (c, y of k - 1 symbols; y = #^(k-1) when `atEnd`) whose k-factors all
// lie in `tiles`, as (c, y) pairs, found by growing the word from the left one symbol at
// a time over the tiles that continue it.
std::vector<std::pair<Word, Word>> Contexts(const std::set<Word>& tiles, const Word& m, bool atEnd,
                                            int k, Symbol end) {
  std::vector<std::pair<Word, Word>> out;
  std::vector<Word> partial;  // c m[0..i] y[0..j] so far, each ending in a tile
  for (const Word& t : tiles)
    if (t.back() == m[0]) partial.push_back(t);
  const std::size_t total = static_cast<std::size_t>(2 * (k - 1)) + m.size();
  while (!partial.empty()) {
    Word w = std::move(partial.back());
    partial.pop_back();
    if (w.size() == total) {
      out.emplace_back(Word(w.begin(), w.begin() + (k - 1)), Word(w.end() - (k - 1), w.end()));
      continue;
    }
    const std::size_t at = w.size() - static_cast<std::size_t>(k - 1);  // index into m y
    std::vector<Symbol> next;
    if (at < m.size())
      next.push_back(m[at]);
    else if (atEnd)
      next.push_back(end);
    else
      for (Symbol x = 0; x <= end; ++x) next.push_back(x);
    for (const Symbol x : next) {
      Word tile(w.end() - (k - 1), w.end());
      tile.push_back(x);
      if (!tiles.count(tile)) continue;
      Word longer = w;
      longer.push_back(x);
      partial.push_back(std::move(longer));
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

// True when `tile` is ⊢^i u #^j of length k with u over 0..n-1.
bool WellShaped(const Word& tile, int k, int n) {
  if (static_cast<int>(tile.size()) != k) return false;
  std::size_t i = 0;
  while (i < tile.size() && tile[i] == SparseTilingWitness::LeftBorder(n)) ++i;
  while (i < tile.size() && tile[i] >= 0 && tile[i] < n) ++i;
  while (i < tile.size() && tile[i] == SparseTilingWitness::EndMarker(n)) ++i;
  return i == tile.size();
}

}  // namespace

std::string SparseTilingWitness::Recheck(const Problem& before,
                                         const std::vector<Problem>& after) const {
  if (!before.IsStandard()) return "sparse tiling of a problem that is not standard";
  if (before.strict.empty()) return "sparse tiling of a problem without rules";
  for (const Rule& r : before.strict)
    if (r.lhs.empty()) return "a rule has an empty left side";
  if (width < 2) return "a width below 2";
  if (after.size() != 1) return "the step leaves " + std::to_string(after.size()) + " problems";
  const Problem& q = after[0];
  if (!q.IsStandard()) return "the problem left is not standard";
  const int n = before.alphabet.size();
  const int k = width;
  const Symbol end = EndMarker(n);
  if (q.alphabet.size() != static_cast<int>(tiles.size())) return "not one letter per tile";
  std::set<std::string> names;
  for (Symbol a = 0; a < q.alphabet.size(); ++a) {
    if (q.alphabet.IsMarked(a)) return "a marked letter";
    if (!names.insert(q.alphabet.names[a]).second)
      return "two letters named " + q.alphabet.names[a];
  }
  std::map<Word, Symbol> letterOf;
  for (std::size_t t = 0; t < tiles.size(); ++t) {
    if (!WellShaped(tiles[t], k, n)) return "tile " + std::to_string(t + 1) + " is malformed";
    if (!letterOf.emplace(tiles[t], static_cast<Symbol>(t)).second)
      return "tile " + std::to_string(t + 1) + " twice";
  }
  std::set<Word> set(tiles.begin(), tiles.end());
  const Word left(static_cast<std::size_t>(k - 1), LeftBorder(n));
  const Word right(static_cast<std::size_t>(k - 1), end);
  const auto allIn = [&](const Word& w) {
    for (const Word& f : Factors(w, k))
      if (!set.count(f)) return false;
    return true;
  };
  for (const Rule& r : before.strict)
    if (!allIn(Between(left, r.rhs, right)))
      return "a tile of the right side of " + RuleText(before.alphabet, r) + " is missing";
  std::set<std::pair<Word, Word>> wanted;
  for (const Rule& r : before.strict) {
    for (const auto& [c, y] : Contexts(set, r.lhs, false, k, end)) {
      const Word from = Between(c, r.lhs, y), to = Between(c, r.rhs, y);
      if (!allIn(to)) return "not closed under " + RuleText(before.alphabet, r) + " in a context";
      Word a, b;
      for (const Word& f : Factors(from, k)) a.push_back(letterOf.at(f));
      for (const Word& f : Factors(to, k)) b.push_back(letterOf.at(f));
      wanted.emplace(std::move(a), std::move(b));
    }
    for (std::size_t i = 1; i < r.lhs.size(); ++i) {
      const Word l1(r.lhs.begin(), r.lhs.begin() + static_cast<std::ptrdiff_t>(i));
      for (const auto& ctx : Contexts(set, l1, true, k, end))
        if (!allIn(Between(ctx.first, r.rhs, right)))
          return "not closed under the forward closure of " + RuleText(before.alphabet, r);
    }
  }
  std::set<std::pair<Word, Word>> have;
  for (const Rule& r : q.strict)
    if (!have.emplace(r.lhs, r.rhs).second) return "a labelled rule twice";
  if (have != wanted) return "the labelled rules are not those of the tiles";
  return "";
}

void SparseTilingWitness::Print(const Problem& before, std::vector<std::string>& lines) const {
  lines.push_back("sparse tiling of width " + std::to_string(width) +
                  " on the right-hand sides of forward closures:");
  lines.push_back("  a word u is read as ⊢^" + std::to_string(width - 1) + " u #^" +
                  std::to_string(width - 1) + ", each letter labelled by the " +
                  std::to_string(width - 1) + " symbols before it");
  lines.push_back("  (a tile is printed as its last symbol with the ones before it in brackets);");
  lines.push_back("  every right side has its tiles below, and so has every step's result and");
  lines.push_back("  every right side after a rule's prefix at a word's end, where the tiles");
  lines.push_back("  around the redex are tiles; the labelled rules are the rules in every");
  lines.push_back(
      "  such context. The problem terminates if the labelled one does (not conversely).");
  lines.push_back("  " + std::to_string(tiles.size()) + " tiles:");
  const TileNames names(before.alphabet);
  std::string line = "   ";
  for (const Word& t : tiles) {
    const std::string name = names.Of(t);
    if (line.size() + name.size() + 1 > 90) {
      lines.push_back(line);
      line = "   ";
    }
    line += " " + name;
  }
  lines.push_back(line);
}

Result SparseTiling(const Problem& p, const Budget& budget, const SparseTilingOptions& options) {
  if (!p.IsStandard()) return Result::None("only for standard problems");
  if (p.strict.empty()) return Result::None();
  for (const Rule& r : p.strict)
    if (r.lhs.empty()) return Result::None("a rule has an empty left side");
  const int n = p.alphabet.size();
  const int k = std::max(2, options.width);
  const Word left(static_cast<std::size_t>(k - 1), SparseTilingWitness::LeftBorder(n));
  const Word right(static_cast<std::size_t>(k - 1), SparseTilingWitness::EndMarker(n));
  TileSet tiles(n, k);
  const auto tooMany = [&] {
    return Result::None("width " + std::to_string(k) + ": more than " +
                        std::to_string(options.maxTiles) + " tiles");
  };
  for (const Rule& r : p.strict)
    if (!tiles.AddFactors(Between(left, r.rhs, right), options.maxTiles)) return tooMany();
  // Rounds until no tile is new: every rule in every context, every forward closure.
  for (std::size_t before = 0; before != tiles.size();) {
    before = tiles.size();
    bool over = false;
    for (const Rule& r : p.strict) {
      if (budget.Expired()) return Result::None();
      tiles.Occurrences(
          r.lhs, false,
          [&](const Word& c, const Word& y) {
            over = over || !tiles.AddFactors(Between(c, r.rhs, y), options.maxTiles);
          },
          budget);
      for (std::size_t i = 1; i < r.lhs.size() && !over; ++i)
        tiles.Occurrences(
            Word(r.lhs.begin(), r.lhs.begin() + static_cast<std::ptrdiff_t>(i)), true,
            [&](const Word& c, const Word&) {
              over = over || !tiles.AddFactors(Between(c, r.rhs, right), options.maxTiles);
            },
            budget);
      if (over) return tooMany();
    }
  }

  if (budget.Expired()) return Result::None();  // the last round may have stopped early
  auto w = std::make_shared<SparseTilingWitness>();
  w->width = k;
  w->tiles.assign(tiles.tiles().begin(), tiles.tiles().end());
  std::map<Word, Symbol> letterOf;
  Problem q;
  const TileNames tileNames(p.alphabet);
  std::set<std::string> names;
  for (const Word& t : w->tiles) {
    std::string name = tileNames.Of(t);
    while (!names.insert(name).second) name += "'";
    letterOf.emplace(t, q.alphabet.Add(name));
  }
  std::set<std::pair<Word, Word>> seen;
  std::size_t letters = 0;
  bool over = false;
  for (const Rule& r : p.strict) {
    tiles.Occurrences(
        r.lhs, false,
        [&](const Word& c, const Word& y) {
          if (over) return;
          Rule labelled;
          for (const Word& f : Factors(Between(c, r.lhs, y), k))
            labelled.lhs.push_back(letterOf.at(f));
          for (const Word& f : Factors(Between(c, r.rhs, y), k))
            labelled.rhs.push_back(letterOf.at(f));
          if (!seen.emplace(labelled.lhs, labelled.rhs).second) return;
          letters += labelled.lhs.size() + labelled.rhs.size();
          q.strict.push_back(std::move(labelled));
          over = q.strict.size() > options.maxRules || letters > options.maxLetters;
        },
        budget);
    if (over)
      return Result::None("width " + std::to_string(k) + ": the labelled problem is too large");
    if (budget.Expired()) return Result::None();
  }
  return Result::Step(std::move(w), {std::move(q)});
}

}  // namespace velkin::strong
