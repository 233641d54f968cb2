#include "strong/techniques/model_labelling.h"

#include <algorithm>
#include <set>
#include <utility>

#include "sat/gates.h"
#include "sat/matrix.h"
#include "sat/nat.h"
#include "strong/techniques/interpretation_search.h"

namespace velkin::strong {

namespace {

// Bits enough for every number below `n`, at least one.
int BitsFor(std::size_t n) {
  int b = 1;
  while ((std::size_t{1} << b) < n) ++b;
  return b;
}

// ---------------------------------------------------------------------------------------
// The joint search: the model's tables as one-hot values, and an interpretation of the
// labelled letters (weights, or natural matrices) under which every labelled copy of a
// rule decreases weakly, and all copies of at least one rule strictly. Every value
// computed from the tables is one-hot too (exactly one literal of its n is true), since
// each table entry is.

// What a model of the search gives: the tables, by letter (empty for letters of no rule).
struct ModelTables {
  std::vector<std::vector<int>> tables;
};

using OneHot = std::vector<sat::Lit>;

class ModelEncoding : public EncodingBase {
 public:
  using Witness = ModelTables;

  ModelEncoding(const Problem& p, const ModelLabellingOptions& o)
      : EncodingBase(p),
        p_(p),
        n_(o.size),
        quasi_(o.quasi),
        d_(std::max(1, o.dimension)),
        weights_(o.dimension == 0),
        bits_(o.bits),
        used_(UsedLetters(p)) {
    std::size_t longest = 1;
    for (const auto* rules : {&p.strict, &p.weak})
      for (const Rule& r : *rules) longest = std::max({longest, r.lhs.size(), r.rhs.size()});
    // Weights: a side weighs at most its length times the largest weight.
    cap_ = weights_ ? bits_ + BitsFor(longest + 1) : bits_ + 3;
  }

  std::int64_t EstimatedClauses() const {
    std::int64_t letters = 0;
    for (const auto* rules : {&p_.strict, &p_.weak})
      for (const Rule& r : *rules)
        letters += static_cast<std::int64_t>(r.lhs.size() + r.rhs.size());
    const std::int64_t n = n_, d = d_;
    // Per letter of a side and per k: its value (n^2 gates of 3 clauses, n disjunctions),
    // the selection of its labelled map (n-way disjunctions per bit of its entries) and
    // the product with the map of the letters after it (as matrix.cpp estimates it).
    const std::int64_t entries = weights_ ? 1 : d * d + d;
    const std::int64_t product =
        weights_ ? 14LL * cap_ : (d * d * d + d * d) * (9LL * bits_ * cap_ + 7LL * cap_);
    const std::int64_t perLetter = 5 * n * n + entries * bits_ * (3 * n + 1) + product;
    return letters * n * perLetter +
           static_cast<std::int64_t>(p_.alphabet.size()) * n * (n * 4 + entries * bits_);
  }

  bool Build(const Budget& budget) {
    const int letters = p_.alphabet.size();
    table_.assign(letters, {});
    maps_.assign(letters, {});
    for (Symbol a = 0; a < letters; ++a) {
      if (!used_[a]) continue;
      for (int v = 0; v < n_; ++v) {
        OneHot x;
        for (int u = 0; u < n_; ++u) x.push_back(s_.NewVar());
        ExactlyOne(x);
        table_[a].push_back(std::move(x));
        maps_[a].push_back(FreshMap());
      }
      if (quasi_)
        for (int v = 0; v + 1 < n_; ++v) {
          // [a](v) <= [a](v+1), and the decreasing rule a[v+1] ->= a[v] weakly decreasing.
          for (int u = 0; u < n_; ++u) {
            std::vector<sat::Lit> c{-table_[a][v + 1][u]};
            for (int w = 0; w <= u; ++w) c.push_back(table_[a][v][w]);
            s_.AddClause(c);
          }
          s_.Require(sat::Ge(s_, maps_[a][v + 1].m, maps_[a][v].m));
          s_.Require(sat::Ge(s_, maps_[a][v + 1].c, maps_[a][v].c));
        }
    }
    for (const auto* rules : {&p_.strict, &p_.weak})
      for (const Rule& r : *rules) {
        if (budget.Expired()) return false;
        std::vector<sat::Lit> strict;
        for (int k = 0; k < n_; ++k) {
          const auto [lv, lm] = Side(r.lhs, k);
          const auto [rv, rm] = Side(r.rhs, k);
          for (int u = 0; u < n_; ++u) {
            if (quasi_) {
              // [l](k) >= [r](k): when r's value is u, l's is u or more.
              std::vector<sat::Lit> c{-rv[u]};
              for (int w = u; w < n_; ++w) c.push_back(lv[w]);
              s_.AddClause(c);
            } else {
              s_.Require(sat::Iff(s_, lv[u], rv[u]));
            }
          }
          s_.Require(sat::Ge(s_, lm.m, rm.m));
          s_.Require(sat::Ge(s_, lm.c, rm.c));
          strict.push_back(sat::Gt(s_, lm.c.at(0, 0), rm.c.at(0, 0)));
        }
        candidates_.push_back(sat::AndAll(s_, strict));
      }
    s_.AddClause(candidates_);
    return !budget.Expired();
  }

  Candidate<ModelTables> Read() const {
    Candidate<ModelTables> out;
    out.witness = std::make_shared<ModelTables>();
    auto& tables = out.witness->tables;
    tables.assign(p_.alphabet.size(), {});
    for (Symbol a = 0; a < p_.alphabet.size(); ++a) {
      if (!used_[a]) continue;
      for (int v = 0; v < n_; ++v) {
        int value = 0;
        for (int u = 0; u < n_; ++u)
          if (s_.Value(table_[a][v][u])) value = u;
        tables[a].push_back(value);
      }
    }
    out.strict = StrictInModel();
    return out;
  }

 private:
  void ExactlyOne(const OneHot& x) {
    s_.AddClause(x);
    for (std::size_t i = 0; i < x.size(); ++i)
      for (std::size_t j = i + 1; j < x.size(); ++j) s_.AddClause({-x[i], -x[j]});
  }

  // A labelled letter's map: x + w (weights), or M x + c with (M)_{1,1} >= 1.
  sat::NatAffine FreshMap() {
    if (weights_)
      return sat::NatAffine{sat::NatIdentity(s_, 1), sat::FreshNatMatrix(s_, 1, 1, bits_)};
    sat::NatAffine f{sat::FreshNatMatrix(s_, d_, d_, bits_), sat::FreshNatMatrix(s_, d_, 1, bits_)};
    s_.Require(sat::OrAll(s_, f.m.at(0, 0).bits));
    return f;
  }

  // [a](y) for a one-hot y.
  OneHot Apply(Symbol a, const OneHot& y) {
    OneHot z;
    for (int u = 0; u < n_; ++u) {
      std::vector<sat::Lit> ways;
      for (int v = 0; v < n_; ++v) ways.push_back(sat::And(s_, y[v], table_[a][v][u]));
      z.push_back(sat::OrAll(s_, ways));
    }
    return z;
  }

  // The number that the one-hot y selects from `options` (one per label).
  sat::Nat Select(const OneHot& y, const std::vector<const sat::Nat*>& options) {
    bool same = true;
    for (const sat::Nat* o : options) same = same && o->bits == options[0]->bits;
    if (same) return *options[0];  // a constant of the map, say
    int width = 0;
    for (const sat::Nat* o : options) width = std::max(width, o->width());
    sat::Nat out;
    for (int b = 0; b < width; ++b) {
      std::vector<sat::Lit> ways;
      for (int v = 0; v < n_; ++v)
        if (b < options[v]->width()) ways.push_back(sat::And(s_, y[v], options[v]->bits[b]));
      out.bits.push_back(sat::OrAll(s_, ways));
    }
    return out;
  }

  // The map of letter a labelled by the one-hot value y.
  sat::NatAffine Labelled(Symbol a, const OneHot& y) {
    sat::NatAffine out = maps_[a][0];
    for (auto* part : {&out.m, &out.c})
      for (std::size_t e = 0; e < part->entries.size(); ++e) {
        std::vector<const sat::Nat*> options;
        for (int v = 0; v < n_; ++v)
          options.push_back(&(part == &out.m ? maps_[a][v].m : maps_[a][v].c).entries[e]);
        part->entries[e] = Select(y, options);
      }
    return out;
  }

  // The value of `w` at k and the map of its labelled copy.
  std::pair<OneHot, sat::NatAffine> Side(const Word& w, int k) {
    OneHot value(n_, s_.False());
    value[k] = s_.True();
    sat::NatAffine map = sat::NatAffineIdentity(s_, d_);
    for (std::size_t i = w.size(); i-- > 0;) {
      map = sat::Compose(s_, Labelled(w[i], value), map, cap_);
      value = Apply(w[i], value);
    }
    return {std::move(value), std::move(map)};
  }

  const Problem& p_;
  const int n_;
  const bool quasi_;
  const int d_;
  const bool weights_;
  const int bits_;
  int cap_ = 0;
  std::vector<bool> used_;
  std::vector<std::vector<OneHot>> table_;         // by letter, by argument
  std::vector<std::vector<sat::NatAffine>> maps_;  // by letter, by label
};

// The copy of `w` labelled at k under `tables`.
Word LabelledWord(LabelledLetters& letters, const std::vector<std::vector<int>>& tables,
                  const Word& w, int k) {
  Word out(w.size());
  for (std::size_t i = w.size(); i-- > 0;) {
    out[i] = letters.Get(w[i], k, std::to_string(k));
    k = tables[w[i]][k];
  }
  return out;
}

}  // namespace

std::string ModelLabellingWitness::Technique() const {
  return quasi ? "semantic labelling with a quasi-model" : "semantic labelling with a model";
}

bool ModelLabellingWitness::IsDecreasingRule(const Rule& r) const {
  if (!quasi || r.lhs.size() != 1 || r.rhs.size() != 1) return false;
  const Symbol l = r.lhs[0], rr = r.rhs[0];
  if (l < 0 || rr < 0 || static_cast<std::size_t>(l) >= base.size() ||
      static_cast<std::size_t>(rr) >= base.size())
    return false;
  return base[l] == base[rr] && label[l] == label[rr] + 1;
}

std::string ModelLabellingWitness::CheckLabelling(const Problem& unlabelled) const {
  if (closed) return "a model labelling after a closure";
  if (size < 1) return "a model without elements";
  const std::vector<Symbol> sigma = RuleLetters(unlabelled);
  if (tables.size() != static_cast<std::size_t>(unlabelled.alphabet.size()))
    return "tables for a different alphabet";
  for (Symbol a : sigma) {
    const std::vector<int>& t = tables[a];
    if (t.size() != static_cast<std::size_t>(size))
      return "no table of " + unlabelled.alphabet.names[a];
    for (int v = 0; v < size; ++v) {
      if (t[v] < 0 || t[v] >= size) return "a value outside the carrier";
      if (quasi && v > 0 && t[v - 1] > t[v])
        return "the function of " + unlabelled.alphabet.names[a] + " is not monotone";
    }
  }
  // The value of w at k, letter by letter from the right.
  const auto value = [&](const Word& w, int k) {
    for (auto it = w.rbegin(); it != w.rend(); ++it) k = tables[*it][k];
    return k;
  };
  for (const auto* rules : {&unlabelled.strict, &unlabelled.weak})
    for (const Rule& r : *rules) {
      if (r.lhs.empty() && r.rhs.empty()) return "a rule with two empty sides";
      for (int k = 0; k < size; ++k) {
        const int l = value(r.lhs, k), rv = value(r.rhs, k);
        if (quasi ? l < rv : l != rv)
          return std::string(quasi ? "not a quasi-model" : "not a model") + " of " +
                 RuleText(unlabelled.alphabet, r, rules == &unlabelled.weak) + " at " +
                 std::to_string(k);
      }
    }
  std::set<std::pair<Symbol, int>> pairs;
  for (std::size_t s = 0; s < base.size(); ++s) {
    if (label[s] < 0 || label[s] >= size) return "a label outside the carrier";
    if (!std::binary_search(sigma.begin(), sigma.end(), base[s]))
      return "a labelled letter of a letter of no rule";
    if (!pairs.insert({base[s], label[s]}).second) return "two letters with the same label";
  }
  std::vector<int> values(size);
  for (int v = 0; v < size; ++v) values[v] = v;
  if (const std::string bad = CheckLabelledCopies(
          unlabelled, values, [&](Symbol s) { return tables[base[s]][label[s]]; }, true);
      !bad.empty())
    return bad;
  if (!quasi) return "";
  std::vector<std::pair<Symbol, int>> decreasing, expectedDecreasing;
  for (Symbol a : sigma)
    for (int v = 0; v + 1 < size; ++v) expectedDecreasing.emplace_back(a, v);
  for (const Rule& r : labelled.weak)
    if (IsDecreasingRule(r)) decreasing.emplace_back(base[r.rhs[0]], label[r.rhs[0]]);
  std::sort(decreasing.begin(), decreasing.end());
  if (decreasing != expectedDecreasing)
    return "the decreasing rules are not those of the quasi-model";
  return "";
}

void ModelLabellingWitness::PrintLabelling(const Problem& unlabelled,
                                           std::vector<std::string>& lines) const {
  std::string carrier;
  for (int v = 0; v < size; ++v) carrier += (v ? ", " : "") + std::to_string(v);
  if (quasi) {
    lines.push_back("a quasi-model over {" + carrier + "}, ordered by <: every [a] monotone, and");
    lines.push_back("[l](k) >= [r](k) for every rule and every k, where [a w](k) = [a]([w](k))");
    lines.push_back("and [ε](k) = k:");
  } else {
    lines.push_back("a model over {" + carrier + "}: [l](k) = [r](k) for every rule and every k,");
    lines.push_back("where [a w](k) = [a]([w](k)) and [ε](k) = k:");
  }
  for (Symbol a = 0; a < static_cast<Symbol>(tables.size()); ++a) {
    if (tables[a].empty()) continue;
    std::string row = "  [" + unlabelled.alphabet.names[a] + "]:";
    for (int v = 0; v < size; ++v)
      row += " " + std::to_string(v) + " -> " + std::to_string(tables[a][v]) +
             (v + 1 < size ? "," : "");
    lines.push_back(row);
  }
  lines.push_back("every letter is labelled by the value at k of the letters after it (k for the");
  lines.push_back("last letter), for every k (the value of what follows the redex): a[v] is an a");
  if (quasi) {
    lines.push_back("before letters of value v; the decreasing rules a[v+1] ->= a[v] are added;");
    lines.push_back("this problem terminates if the labelled one does;");
  } else {
    lines.push_back(
        "before letters of value v; the labelled problem terminates iff this one does;");
  }
}

cpf::Written ModelLabellingWitness::CertifyLabelling(const Problem& unlabelled,
                                                     const Problem& labelledProblem,
                                                     const cpf::Fragment& sub) const {
  if (quasi) return std::string("no certificate form for a quasi-model");
  cpf::FiniteModel model{size, tables};
  std::vector<cpf::ModelLabel> labels;
  for (std::size_t s = 0; s < base.size(); ++s)
    labels.push_back(cpf::ModelLabel{base[s], label[s]});
  return cpf::ModelLabelling(unlabelled, model, labels, labelledProblem, sub);
}

std::shared_ptr<ModelLabellingWitness> ModelLabelledProblem(
    const Problem& p, int size, bool quasi, const std::vector<std::vector<int>>& tables) {
  auto w = std::make_shared<ModelLabellingWitness>();
  w->size = size;
  w->quasi = quasi;
  w->tables = tables;
  LabelledLetters letterSet(p.alphabet);
  for (const auto* rs : {&p.strict, &p.weak}) {
    std::vector<Rule>& out = rs == &p.strict ? w->labelled.strict : w->labelled.weak;
    for (const Rule& r : *rs)
      for (int k = 0; k < size; ++k)
        out.push_back(Rule{LabelledWord(letterSet, tables, r.lhs, k),
                           LabelledWord(letterSet, tables, r.rhs, k)});
  }
  if (quasi)
    for (Symbol a : RuleLetters(p))
      for (int v = 0; v + 1 < size; ++v)
        w->labelled.weak.push_back(Rule{{letterSet.Get(a, v + 1, std::to_string(v + 1))},
                                        {letterSet.Get(a, v, std::to_string(v))}});
  letterSet.Into(*w);
  return w;
}

Result ModelLabelling(const Problem& p, const Budget& budget,
                      const ModelLabellingOptions& options) {
  if (!p.IsRelative() || p.strict.empty()) return Result::None();
  if (options.size < 2 || options.size > 4 || options.bits < 1 || options.bits > 8 ||
      options.dimension < 0 || options.dimension > 4)
    return Result::None("semantic labelling: invalid options");
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules)
      if (r.lhs.empty() && r.rhs.empty()) return Result::None();
  const std::vector<Symbol> sigma = RuleLetters(p);
  const auto n = static_cast<std::size_t>(options.size);
  const std::size_t rules =
      (p.strict.size() + p.weak.size()) * n + (options.quasi ? sigma.size() * (n - 1) : 0);
  const std::size_t letters = ProblemSize(p) * n;
  if (rules > options.limits.maxRules || letters > options.limits.maxLetters)
    return Result::None("semantic labelling skipped: the labelled problem would have " +
                        std::to_string(rules) + " rules and " + std::to_string(letters) +
                        " letters, more than fit");
  SearchOptions search;
  search.bits = options.bits;
  search.maxClauses = options.maxClauses;
  search.improveSeconds = options.improveSeconds;
  const std::string what = std::string("semantic labelling with a ") +
                           (options.quasi ? "quasi-model" : "model") + " of " +
                           std::to_string(options.size) + " elements";
  Searched<ModelTables> found =
      SearchInterpretation<ModelEncoding>(budget, search, what, p, options);
  if (!found.best) return Result::None(std::move(found.note));

  if (budget.Expired()) return Result::None();
  auto w = ModelLabelledProblem(p, options.size, options.quasi, found.best->witness->tables);
  return FinishLabelledStep(p, std::move(w), budget, options.removers);
}

}  // namespace velkin::strong
