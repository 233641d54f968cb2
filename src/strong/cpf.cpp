#include "strong/cpf.h"

#include <algorithm>
#include <cassert>

#include "model/xml_text.h"

namespace velkin::strong::cpf {
namespace {

bool HasWeak(const Problem& p) {
  return p.IsRelative() && !p.weak.empty();
}

}  // namespace

// A character XML cannot hold would be escaped to '?', which could make two names one.
std::string UnwritableName(const Alphabet& alphabet, std::initializer_list<std::string> others) {
  const auto why = [](const std::string& name) {
    return "the name \"" + XmlEscape(name) +
           "\" holds a character that XML cannot carry, so there is no certifiable form";
  };
  for (const std::string& name : alphabet.names)
    if (!XmlCanHold(name)) return why(name);
  for (const std::string& name : others)
    if (!XmlCanHold(name)) return why(name);
  return "";
}

namespace {

std::string Element(const std::string& tag, const std::string& body) {
  return "<" + tag + ">" + body + "</" + tag + ">";
}

std::string SymbolXml(const Alphabet& alphabet, Symbol s) {
  assert(s >= 0 && s < alphabet.size());
  if (alphabet.IsMarked(s))
    return Element("sharp", Element("name", Escape(alphabet.names[alphabet.marks[s]])));
  return Element("name", Escape(alphabet.names[s]));
}

std::string Trs(const Alphabet& alphabet, const std::vector<Rule>& rules) {
  return Element("trs", Rules(alphabet, rules));
}

const char* TerminationTag(const Problem& p) {
  return HasWeak(p) ? "relativeTerminationProof" : "trsTerminationProof";
}

Fragment Make(FragmentKind kind, std::string xml) {
  return Fragment{kind, std::move(xml)};
}

// `sub` as a proof of non-termination of a relative problem: a loop of the strict rules
// alone is one of the relative problem too.
std::optional<std::string> RelativeNonterminationXml(const Fragment& sub) {
  if (sub.kind == FragmentKind::RelativeNontermination) return sub.xml;
  if (sub.kind == FragmentKind::Nontermination)
    return Element("relativeNonterminationProof", sub.xml);
  return std::nullopt;
}

std::string Number(const mpz_class& n) {
  return Element("integer", n.get_str());
}

std::string Coefficient(const mpz_class& n) {
  return Element("coefficient", Number(n));
}

std::string Coefficient(const Arctic& n) {
  return Element("coefficient", n ? Number(*n) : std::string("<minusInfinity/>"));
}

// One letter's map as the certifier's linear polynomial: constant vector plus matrix
// times the argument. The certifier reads a matrix as its list of columns.
template <typename Map>
std::string Interpret(const Alphabet& alphabet, Symbol s, const Map& map) {
  std::string vector;
  for (const auto& c : map.constant) vector += Coefficient(c);
  std::string matrix;
  const std::size_t d = map.constant.size();
  for (std::size_t j = 0; j < d; ++j) {
    std::string column;
    for (std::size_t i = 0; i < d; ++i) column += Coefficient(map.matrix[i][j]);
    matrix += Element("vector", column);
  }
  const std::string constant =
      Element("polynomial", Element("coefficient", Element("vector", vector)));
  const std::string linear = Element(
      "polynomial",
      Element("product", Element("polynomial", Element("coefficient", Element("matrix", matrix))) +
                             Element("polynomial", Element("variable", "1"))));
  return Element("interpret", SymbolXml(alphabet, s) + Element("arity", "1") +
                                  Element("polynomial", Element("sum", constant + linear)));
}

// The letters that occur in the rules and pairs of `p`, in increasing order.
std::vector<Symbol> LettersInOrder(const Problem& p) {
  std::vector<bool> used(p.alphabet.size(), false);
  for (const auto* rules : {&p.strict, &p.weak})
    for (const Rule& r : *rules) {
      for (Symbol s : r.lhs) used[s] = true;
      for (Symbol s : r.rhs) used[s] = true;
    }
  std::vector<Symbol> out;
  for (Symbol s = 0; s < p.alphabet.size(); ++s)
    if (used[s]) out.push_back(s);
  return out;
}

// Checks that every used letter has a square map of the interpretation's dimension.
template <typename Interpretation>
std::string CheckShape(const Problem& p, const Interpretation& in) {
  if (in.dimension < 1) return "an interpretation of dimension " + std::to_string(in.dimension);
  const auto d = static_cast<std::size_t>(in.dimension);
  for (Symbol s : LettersInOrder(p)) {
    if (static_cast<std::size_t>(s) >= in.letters.size())
      return "no map for the letter " + p.alphabet.names[s];
    const auto& m = in.letters[s];
    bool square = m.constant.size() == d && m.matrix.size() == d;
    for (const auto& row : m.matrix) square = square && row.size() == d;
    if (!square)
      return "the map of " + p.alphabet.names[s] + " is not of dimension " + std::to_string(d);
  }
  return "";
}

template <typename Interpretation>
std::string OrderingProof(const Problem& p, const Interpretation& in, const char* domain) {
  std::string body = Element(
      "type",
      Element("matrixInterpretation", Element("domain", domain) +
                                          Element("dimension", std::to_string(in.dimension)) +
                                          Element("strictDimension", "1")));
  for (Symbol s : LettersInOrder(p)) body += Interpret(p.alphabet, s, in.letters[s]);
  return Element("orderingConstraintProof", Element("redPair", Element("interpretation", body)));
}

// The remaining rules of a rule removal: the strict ones, then the weak ones when the
// problem is relative.
std::string Remaining(const Problem& after, bool relative) {
  std::string out = Trs(after.alphabet, after.strict);
  if (relative) out += Trs(after.alphabet, after.weak);
  return out;
}

// A step `tag` of a non-termination proof that leaves `after`, written around `sub`:
// relative when `relative` (then `sub` must prove a relative problem non-terminating),
// else standard (then `sub` must be a standard non-termination proof). `needs` is the
// error when `sub` is of the wrong kind.
Written NonterminationStep(const char* tag, bool relative, const Problem& after,
                           const Fragment& sub, const char* needs) {
  if (relative) {
    auto below = RelativeNonterminationXml(sub);
    if (!below) return std::string(needs);
    return Make(
        FragmentKind::RelativeNontermination,
        Element("relativeNonterminationProof", Element(tag, Remaining(after, true) + *below)));
  }
  if (sub.kind != FragmentKind::Nontermination) return std::string(needs);
  return Make(FragmentKind::Nontermination,
              Element("trsNonterminationProof", Element(tag, Remaining(after, false) + sub.xml)));
}

bool Contains(const std::vector<Rule>& rules, const Rule& r) {
  return std::find(rules.begin(), rules.end(), r) != rules.end();
}

// Rules of `after` must be rules of `before` (a removal only removes).
std::string CheckSubset(const std::vector<Rule>& after, const std::vector<Rule>& before,
                        const char* what) {
  for (const Rule& r : after)
    if (!Contains(before, r)) return std::string("a ") + what + " that the step did not have";
  return "";
}

// The shape of `in` for `before`, then after's strict rules (or pairs: `what`) among
// before's.
template <typename Interpretation>
std::string CheckShapeAndSubset(const Problem& before, const Interpretation& in,
                                const Problem& after, const char* what) {
  if (auto e = CheckShape(before, in); !e.empty()) return e;
  return CheckSubset(after.strict, before.strict, what);
}

std::string Positions(int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += "<position>1</position>";
  return Element("positionInTerm", out);
}

}  // namespace

std::string Escape(const std::string& s) {
  return XmlEscape(s);
}

std::string Term(const Alphabet& alphabet, const Word& w) {
  std::string out;
  for (Symbol s : w) out += "<funapp>" + SymbolXml(alphabet, s) + "<arg>";
  out += "<var>x</var>";
  for (std::size_t i = 0; i < w.size(); ++i) out += "</arg></funapp>";
  return out;
}

std::string Rules(const Alphabet& alphabet, const std::vector<Rule>& rules) {
  std::string out;
  for (const Rule& r : rules)
    out += Element("rule",
                   Element("lhs", Term(alphabet, r.lhs)) + Element("rhs", Term(alphabet, r.rhs)));
  return Element("rules", out);
}

Written NoStrictRules() {
  return Make(FragmentKind::Termination, Element("trsTerminationProof", "<rIsEmpty/>"));
}

Written NoPairs() {
  return Make(FragmentKind::DpTermination, Element("dpProof", "<pIsEmpty/>"));
}

Written EmptyLeftSide(bool relative) {
  if (relative)
    return Make(FragmentKind::RelativeNontermination,
                Element("relativeNonterminationProof", "<variableConditionViolated/>"));
  return Make(FragmentKind::Nontermination,
              Element("trsNonterminationProof", "<variableConditionViolated/>"));
}

Written LoopProof(const Problem& problem, const Loop& loop) {
  if (!problem.IsRelative()) return std::string("a loop of a dependency pair problem");
  if (loop.steps.empty()) return std::string("a loop without steps");
  // A strict rule with an empty left side (a bare variable as a term) is the simpler
  // proof. A weak one may take part in the loop: the certifier rewrites with it.
  for (const Rule& r : problem.strict)
    if (r.lhs.empty()) return EmptyLeftSide(HasWeak(problem));
  const Alphabet& a = problem.alphabet;
  bool strict_step = false;
  std::string steps;
  const Word* previous = &loop.start;
  for (const LoopStep& s : loop.steps) {
    const auto& rules = s.weak ? problem.weak : problem.strict;
    if (!Contains(rules, s.rule)) return std::string("a loop step by a rule not in the problem");
    if (s.position < 0 ||
        static_cast<std::size_t>(s.position) + s.rule.lhs.size() > previous->size())
      return std::string("a loop step outside its word");
    strict_step = strict_step || !s.weak;
    steps += Element("rewriteStep", Positions(s.position) +
                                        Element("rule", Element("lhs", Term(a, s.rule.lhs)) +
                                                            Element("rhs", Term(a, s.rule.rhs))) +
                                        (s.weak ? "<relative/>" : "") + Term(a, s.result));
    previous = &s.result;
  }
  if (!strict_step) return std::string("a loop without a strict step");
  Word expected = loop.prefix;
  expected.insert(expected.end(), loop.start.begin(), loop.start.end());
  expected.insert(expected.end(), loop.suffix.begin(), loop.suffix.end());
  if (*previous != expected) return std::string("a loop that does not end in p u q");
  // The last term is C[u(x) sigma] with C = p and sigma = {x -> q(x)}.
  std::string context = "<box/>";
  for (auto it = loop.prefix.rbegin(); it != loop.prefix.rend(); ++it)
    context = Element("funContext", SymbolXml(a, *it) + "<before/>" + context + "<after/>");
  const std::string substitution =
      loop.suffix.empty()
          ? Element("substitution", "")
          : Element("substitution", Element("substEntry", "<var>x</var>" + Term(a, loop.suffix)));
  const std::string xml = Element(
      "loop", Element("rewriteSequence", Element("startTerm", Term(a, loop.start)) + steps) +
                  substitution + context);
  if (HasWeak(problem))
    return Make(FragmentKind::RelativeNontermination, Element("relativeNonterminationProof", xml));
  return Make(FragmentKind::Nontermination, Element("trsNonterminationProof", xml));
}

namespace {

// A step by an interpretation over `domain` (natural or arctic) that orients every rule
// and pair weakly and removes what it orients strictly, on a problem of `kind`: rule
// removal on a relative problem (strict and weak rules may go; a termination proof
// below), or the reduction pair processor on a dependency pair problem (pairs may go,
// the rules stay; a proof of the pair problem below). Written only when both problems
// are of that kind, every letter has a square map of the interpretation's dimension and
// `after` keeps nothing that `before` did not have; else what is wrong.
template <typename Interpretation>
Written OrientingStep(ProblemKind kind, const Problem& before, const Interpretation& interpretation,
                      const Problem& after, const Fragment& sub, const char* domain,
                      bool usableRules = false) {
  const bool pairs = kind == ProblemKind::DependencyPairs;
  if (before.kind != kind || after.kind != kind)
    return std::string(pairs ? "a reduction pair outside a dependency pair problem"
                             : "rule removal outside a relative problem");
  if (sub.kind != (pairs ? FragmentKind::DpTermination : FragmentKind::Termination))
    return std::string(pairs ? "a reduction pair needs a proof of the pair problem below"
                             : "rule removal by an interpretation needs a termination proof below");
  const char* removed = pairs ? "pair" : "strict rule";
  if (auto e = CheckShapeAndSubset(before, interpretation, after, removed); !e.empty()) return e;
  const std::string ordering = OrderingProof(before, interpretation, domain);
  if (pairs) {
    if (after.weak != before.weak) return std::string("a reduction pair that changed the rules");
    const std::string dps = Element("dps", Rules(after.alphabet, after.strict));
    if (usableRules) {
      const std::string usable = Element("usableRules", Rules(before.alphabet, before.weak));
      return Make(FragmentKind::DpTermination,
                  Element("dpProof", Element("redPairUrProc", ordering + dps + usable + sub.xml)));
    }
    return Make(FragmentKind::DpTermination,
                Element("dpProof", Element("redPairProc", ordering + dps + sub.xml)));
  }
  if (auto e = CheckSubset(after.weak, before.weak, "weak rule"); !e.empty()) return e;
  const std::string body = ordering + Remaining(after, HasWeak(before)) + sub.xml;
  return Make(FragmentKind::Termination,
              Element(TerminationTag(before), Element("ruleRemoval", body)));
}

}  // namespace

Written RuleRemoval(const Problem& before, const NaturalInterpretation& interpretation,
                    const Problem& after, const Fragment& sub) {
  return OrientingStep(ProblemKind::Relative, before, interpretation, after, sub, "<naturals/>");
}

Written RuleRemovalNontermination(const Problem& before, const Problem& after,
                                  const Fragment& sub) {
  if (!before.IsRelative() || !after.IsRelative())
    return std::string("rule removal outside a relative problem");
  if (auto e = CheckSubset(after.strict, before.strict, "strict rule"); !e.empty()) return e;
  if (auto e = CheckSubset(after.weak, before.weak, "weak rule"); !e.empty()) return e;
  return NonterminationStep("ruleRemoval", HasWeak(before), after, sub,
                            "rule removal needs a non-termination proof below");
}

Written Reversal(const Problem& before, const Problem& after, const Fragment& sub) {
  if (!before.IsRelative() || !after.IsRelative())
    return std::string("reversal outside a relative problem");
  if (after.strict != Reversed(before.strict) || after.weak != Reversed(before.weak))
    return std::string("a reversal whose result is not the reversed problem");
  const bool relative = HasWeak(before);
  if (sub.kind == FragmentKind::Termination)
    return Make(FragmentKind::Termination,
                Element(TerminationTag(before),
                        Element("stringReversal", Remaining(after, relative) + sub.xml)));
  return NonterminationStep("stringReversal", relative, after, sub,
                            relative ? "reversal of a relative problem needs a relative proof below"
                                     : "reversal needs a proof of a relative problem below");
}

Written RelativeAsStandard(const Problem& relative, const Problem& standard, const Fragment& sub) {
  if (!relative.IsRelative() || !standard.IsStandard())
    return std::string("relative as standard needs a relative and a standard problem");
  if (sub.kind != FragmentKind::Termination)
    return std::string("relative as standard carries over termination only");
  for (const auto* rules : {&relative.strict, &relative.weak})
    for (const Rule& r : *rules)
      if (!Contains(standard.strict, r)) return std::string("relative as standard lost a rule");
  for (const Rule& r : standard.strict)
    if (!Contains(relative.strict, r) && !Contains(relative.weak, r))
      return std::string("relative as standard added a rule");
  // The certifier's steps on R/S take every rule of R u S as weak and remove from both, so
  // the proof of R u S is, step by step, one of R/S: it ends with no rule at all, hence
  // with no strict rule.
  return sub;
}

Written DependencyPairs(const Problem& before, const Problem& dp, const Fragment& sub) {
  if (!before.IsRelative() || !dp.IsDependencyPairs())
    return std::string("dependency pairs from a problem that is not a relative one");
  if (sub.kind != FragmentKind::DpTermination)
    return std::string("dependency pairs need a proof of the pair problem below");
  const std::string body =
      Element("dps", Rules(dp.alphabet, dp.strict)) + Element("markedSymbols", "true") + sub.xml;
  return Make(FragmentKind::Termination, Element(TerminationTag(before), Element("dpTrans", body)));
}

Written DependencyGraph(const Problem& before, const std::vector<GraphComponent>& components,
                        const ArcTest& arc) {
  if (!before.IsDependencyPairs()) return std::string("a graph of a problem without pairs");
  std::size_t count = 0;
  for (const GraphComponent& c : components) {
    if (auto e = CheckSubset(c.pairs, before.strict, "pair"); !e.empty()) return e;
    count += c.pairs.size();
    if (c.cyclic && (!c.proof || c.proof->kind != FragmentKind::DpTermination))
      return std::string("a cyclic component without a proof");
    if (!c.cyclic && (c.pairs.size() != 1 || arc(c.pairs[0], c.pairs[0])))
      return std::string("a component with an arc inside that is called acyclic");
  }
  if (count != before.strict.size())
    return std::string("the components do not hold every pair once");
  // Topological order of the components: repeatedly take one that no remaining
  // component has an arc into.
  const std::size_t n = components.size();
  auto leads = [&](std::size_t from, std::size_t to) {
    for (const Rule& s : components[from].pairs)
      for (const Rule& t : components[to].pairs)
        if (arc(s, t)) return true;
    return false;
  };
  std::vector<std::vector<bool>> into(n, std::vector<bool>(n, false));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) into[j][i] = i != j && leads(i, j);
  std::vector<bool> done(n, false);
  std::string body;
  for (std::size_t round = 0; round < n; ++round) {
    std::size_t next = n;
    for (std::size_t j = 0; j < n && next == n; ++j) {
      if (done[j]) continue;
      bool free = true;
      for (std::size_t i = 0; i < n && free; ++i) free = done[i] || !into[j][i];
      if (free) next = j;
    }
    if (next == n) return std::string("components with arcs both ways between them");
    done[next] = true;
    const GraphComponent& c = components[next];
    std::string comp = Element("dps", Rules(before.alphabet, c.pairs)) +
                       Element("realScc", c.cyclic ? "true" : "false");
    if (c.cyclic) comp += c.proof->xml;
    body += Element("component", comp);
  }
  return Make(FragmentKind::DpTermination, Element("dpProof", Element("depGraphProc", body)));
}

Written ReductionPair(const Problem& before, const NaturalInterpretation& interpretation,
                      const Problem& after, const Fragment& sub, bool usableRules) {
  return OrientingStep(ProblemKind::DependencyPairs, before, interpretation, after, sub,
                       "<naturals/>", usableRules);
}

Written ReductionPair(const Problem& before, const ArcticInterpretation& interpretation,
                      const Problem& after, const Fragment& sub, bool usableRules) {
  return OrientingStep(ProblemKind::DependencyPairs, before, interpretation, after, sub,
                       "<arctic><domain><naturals/></domain></arctic>", usableRules);
}

Written SubtermCriterion(const Problem& before, const Problem& after, const Fragment& sub) {
  if (!before.IsDependencyPairs() || !after.IsDependencyPairs())
    return std::string("the subterm criterion outside a dependency pair problem");
  if (sub.kind != FragmentKind::DpTermination)
    return std::string("the subterm criterion needs a proof of the pair problem below");
  if (auto e = CheckSubset(after.strict, before.strict, "pair"); !e.empty()) return e;
  if (after.weak != before.weak) return std::string("a subterm criterion that changed the rules");
  // One entry per marked letter of a pair (the certifier projects the others as it likes).
  std::vector<bool> marked(before.alphabet.size(), false);
  for (const Rule& pair : before.strict)
    for (const Word* side : {&pair.lhs, &pair.rhs})
      if (!side->empty() && before.alphabet.IsMarked(side->front())) marked[side->front()] = true;
  std::string filter;
  for (Symbol s = 0; s < before.alphabet.size(); ++s)
    if (marked[s])
      filter +=
          Element("argumentFilterEntry", SymbolXml(before.alphabet, s) + Element("arity", "1") +
                                             Element("collapsing", "1"));
  const std::string body = Element("argumentFilter", filter) +
                           Element("dps", Rules(after.alphabet, after.strict)) + sub.xml;
  return Make(FragmentKind::DpTermination, Element("dpProof", Element("subtermProc", body)));
}

// ---- Match bounds ----------------------------------------------------------------------

namespace {
// A state's name: q in base 62 (digits, then lower-case, then upper-case letters),
// distinct for distinct q and as short as can be. The certifier compares states as
// strings, letter by letter, all the time: on automata of some hundred states these names
// make its check of a bound about a fifth faster than "q" and the number in decimal.
std::string StateName(int q) {
  static constexpr char kDigits[] =
      "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  assert(q >= 0);
  std::string name;
  do {
    name.insert(name.begin(), kDigits[q % 62]);
    q /= 62;
  } while (q > 0);
  return name;
}
}  // namespace

double BoundsCheckWork(const Problem& problem, const HeightAutomaton& automaton, double limit) {
  using Transition = HeightAutomaton::Transition;
  if (automaton.states < 1 || automaton.bound < 0) return 0;  // refused by the writer
  const int heights = automaton.bound + 1;
  const auto symbolOf = [heights](Symbol letter, int height) {
    return static_cast<std::size_t>(letter) * heights + height;
  };
  // The transitions by lifted letter.
  std::vector<std::vector<Transition>> bySymbol;
  for (const Transition& t : automaton.transitions) {
    if (t.letter < 0 || t.letter >= problem.alphabet.size() || t.height < 0 ||
        t.height >= heights || t.from < 0 || t.from >= automaton.states || t.to < 0 ||
        t.to >= automaton.states)
      continue;  // MatchBoundsOnAllWords refuses these
    const std::size_t s = symbolOf(t.letter, t.height);
    if (bySymbol.size() <= s) bySymbol.resize(s + 1);
    bySymbol[s].push_back(t);
  }
  const auto scan = [&bySymbol](std::size_t s) {
    return s < bySymbol.size() ? static_cast<double>(bySymbol[s].size()) : 0.0;
  };
  // Testing a lifting starts from every state with its last lifted letter, uniting the
  // states its transitions leave one at a time, each union walking the set so far.
  std::vector<double> unite(bySymbol.size(), 0);
  for (std::size_t s = 0; s < bySymbol.size(); ++s) {
    std::vector<int> froms;
    for (const Transition& t : bySymbol[s]) froms.push_back(t.from);
    std::sort(froms.begin(), froms.end());
    const auto distinct = std::unique(froms.begin(), froms.end()) - froms.begin();
    unite[s] = scan(s) * static_cast<double>(distinct) / 2;
  }
  // Matching a whole lifting first gathers every state some transition leaves, in the
  // same way: about Q^2 / 2 for Q such states.
  std::vector<char> leaves(automaton.states, 0);
  for (const auto& symbol : bySymbol)
    for (const Transition& t : symbol) leaves[t.from] = 1;
  const double left = static_cast<double>(std::count(leaves.begin(), leaves.end(), 1));
  const double gather = left * left / 2;
  // A lifting of a suffix of a left side that some path reads: its lifted letters, the
  // states such a path may start in, and the certifier's cost of testing it once.
  struct Suffix {
    std::vector<std::size_t> symbols;  // last letter first
    std::vector<int> starts;           // distinct
    double cost = 0;
  };
  std::vector<int> all(automaton.states);
  for (int q = 0; q < automaton.states; ++q) all[q] = q;
  // Scratch marks by state, cleared after each use: this count takes about as many steps
  // as it counts.
  std::vector<char> inStarts(automaton.states, 0), found(automaton.states, 0);
  double work = 0;
  for (const auto* rules : {&problem.strict, &problem.weak})
    for (const Rule& rule : *rules) {
      std::vector<Suffix> suffixes{Suffix{{}, all, 0}};
      for (std::size_t i = rule.lhs.size(); i-- > 0 && !suffixes.empty();) {
        std::vector<Suffix> longer;
        for (const Suffix& suffix : suffixes) {
          for (const int q : suffix.starts) inStarts[q] = 1;
          for (int h = 0; h < heights; ++h) {
            const std::size_t s = symbolOf(rule.lhs[i], h);
            const std::size_t last = suffix.symbols.empty() ? s : suffix.symbols[0];
            const double cost = suffix.cost + scan(s);
            work += cost + (last < unite.size() ? unite[last] : 0);
            if (work > limit) return work;
            std::vector<int> starts;
            if (s < bySymbol.size())
              for (const Transition& t : bySymbol[s])
                if (inStarts[t.to] && !found[t.from]) {
                  found[t.from] = 1;
                  starts.push_back(t.from);
                }
            for (const int q : starts) found[q] = 0;
            if (starts.empty()) continue;  // read by no path: the lifting is not kept
            Suffix next{suffix.symbols, std::move(starts), cost};
            next.symbols.push_back(s);
            longer.push_back(std::move(next));
          }
          for (const int q : suffix.starts) inStarts[q] = 0;
        }
        suffixes = std::move(longer);
      }
      // Every path reading a whole lifted left side, followed from its first letter: each
      // path so far scans the next letter's transitions.
      std::vector<double> paths(automaton.states, 0), further(automaton.states, 0);
      std::vector<int> ends, nextEnds;  // the states with paths ending there
      for (const Suffix& lifted : suffixes) {
        work += gather;
        double count = 1;  // the certifier starts once, from every state
        for (std::size_t k = lifted.symbols.size(); k-- > 0 && count > 0;) {
          const std::size_t s = lifted.symbols[k];
          work += count * scan(s);
          if (work > limit) return work;
          const bool first = k + 1 == lifted.symbols.size();
          count = 0;
          for (const Transition& t : bySymbol[s])
            if (first || paths[t.from] > 0) {
              const double n = first ? 1 : paths[t.from];
              if (further[t.to] == 0) nextEnds.push_back(t.to);
              further[t.to] += n;
              count += n;
            }
          for (const int q : ends) paths[q] = 0;
          std::swap(paths, further);
          std::swap(ends, nextEnds);
          nextEnds.clear();
        }
        for (const int q : ends) paths[q] = 0;
        ends.clear();
      }
    }
  return work;
}

Written MatchBoundsOnAllWords(const Problem& problem, const HeightAutomaton& automaton) {
  if (!problem.IsRelative()) return std::string("match bounds outside a relative problem");
  if (automaton.states < 1 || automaton.accepting.empty())
    return std::string("a match-bound automaton without states to start in");
  if (const double work = BoundsCheckWork(problem, automaton, kMaxBoundsCheckWork);
      work > kMaxBoundsCheckWork)
    return "a match-bound automaton that the certifier would take too long to check (" +
           std::to_string(automaton.states) + " states, " +
           std::to_string(automaton.transitions.size()) +
           " transitions: an estimated work of more than " +
           std::to_string(static_cast<long long>(kMaxBoundsCheckWork)) + " steps)";
  const auto state = [](int q) { return Element("state", StateName(q)); };
  std::string starts;
  for (const int q : automaton.accepting) {
    if (q < 0 || q >= automaton.states) return std::string("a start state out of range");
    starts += state(q);
  }
  std::string transitions;
  for (const auto& t : automaton.transitions) {
    if (t.from < 0 || t.from >= automaton.states || t.to < 0 || t.to >= automaton.states)
      return std::string("a transition between unknown states");
    if (t.letter < 0 || t.letter >= problem.alphabet.size() || problem.alphabet.IsMarked(t.letter))
      return std::string("a transition with a letter the problem does not have");
    if (t.height < 0 || t.height > automaton.bound)
      return std::string("a transition above the bound");
    transitions +=
        Element("transition",
                Element("lhs", SymbolXml(problem.alphabet, t.letter) +
                                   Element("height", std::to_string(t.height)) + state(t.to)) +
                    Element("rhs", state(t.from)));
  }
  const std::string finals = Element("finalStates", starts);
  const std::string body = Element("type", "<match/>") +
                           Element("bound", std::to_string(automaton.bound)) + finals +
                           Element("treeAutomaton", finals + Element("transitions", transitions)) +
                           Element("criterion", "<compatibility/>");
  return Make(FragmentKind::Termination, Element(TerminationTag(problem), Element("bounds", body)));
}

Written ReductionPairIntegers(const Problem& before, const ArcticInterpretation& interpretation,
                              const Problem& after, const Fragment& sub, bool usableRules) {
  return OrientingStep(ProblemKind::DependencyPairs, before, interpretation, after, sub,
                       "<arctic><domain><integers/></domain></arctic>", usableRules);
}

Written Document(const Problem& input, const Fragment& proof, const std::string& tool,
                 const std::string& variable) {
  if (!input.IsRelative()) return std::string("the input of a certificate is a relative problem");
  if (variable.empty()) return std::string("an empty variable name");
  std::string body;
  switch (proof.kind) {
    case FragmentKind::Termination:
      body = proof.xml;
      break;
    case FragmentKind::Nontermination:
    case FragmentKind::RelativeNontermination:
      if (HasWeak(input)) {
        body = *RelativeNonterminationXml(proof);
      } else if (proof.kind == FragmentKind::Nontermination) {
        body = proof.xml;
      } else {
        return std::string("a relative non-termination proof of a standard problem");
      }
      break;
    case FragmentKind::DpTermination:
      return std::string("a dependency pair proof as the proof of the input");
  }
  if (const std::string bad = UnwritableName(input.alphabet, {tool, variable}); !bad.empty())
    return bad;
  std::string trs = Trs(input.alphabet, input.strict);
  if (!input.weak.empty()) trs += Element("relativeRules", Rules(input.alphabet, input.weak));
  std::string xml =
      "<?xml version=\"1.0\"?>\n<certificationProblem>" +
      Element("input", Element("trsInput", trs)) + Element("cpfVersion", "2.1") +
      Element("proof", body) +
      Element("origin", Element("proofOrigin", Element("tool", Element("name", Escape(tool))))) +
      "</certificationProblem>\n";
  // Every variable the writers put is <var>x</var>; letter names cannot contain it, since
  // their '<' is escaped.
  const std::string from = "<var>x</var>", to = "<var>" + Escape(variable) + "</var>";
  if (to != from) {
    std::string renamed;
    renamed.reserve(xml.size() + xml.size() / 8);
    std::size_t at = 0;
    for (std::size_t next; (next = xml.find(from, at)) != std::string::npos;
         at = next + from.size())
      renamed.append(xml, at, next - at).append(to);
    renamed.append(xml, at);
    xml = std::move(renamed);
  }
  return Make(proof.kind, std::move(xml));
}

}  // namespace velkin::strong::cpf

// --- Steps of the extended strategy ---------------------------------------------------

namespace velkin::strong::cpf {
namespace {

// Every rule of `a` is in `b` and every rule of `b` in `a` (multiplicities aside).
bool SameRules(const std::vector<Rule>& a, const std::vector<Rule>& b) {
  for (const Rule& r : a)
    if (!Contains(b, r)) return false;
  for (const Rule& r : b)
    if (!Contains(a, r)) return false;
  return true;
}

bool SameProblem(const Problem& a, const Problem& b) {
  return SameRules(a.strict, b.strict) && SameRules(a.weak, b.weak);
}

Problem ReversedRules(const Problem& p) {
  Problem out = p;
  out.strict = Reversed(p.strict);
  out.weak = Reversed(p.weak);
  return out;
}

// `p` closed on the left by `letters`: a l -> a r for every rule and letter.
Problem LeftClosed(const Problem& p, const std::vector<Symbol>& letters) {
  Problem out = p;
  for (auto* rules : {&out.strict, &out.weak}) {
    std::vector<Rule> closed;
    for (const Rule& r : *rules)
      for (Symbol a : letters) {
        Rule c{{a}, {a}};
        c.lhs.insert(c.lhs.end(), r.lhs.begin(), r.lhs.end());
        c.rhs.insert(c.rhs.end(), r.rhs.begin(), r.rhs.end());
        closed.push_back(std::move(c));
      }
    *rules = std::move(closed);
  }
  return out;
}

// The left closure of `before` by `letters` as the certifier reads it: the contexts
// a(box), the closed rules, then `sub`, the proof of `closed`. The certifier takes a
// listed rule as strict when it is a strict rule of `before` or the closure of one, so a
// weak rule of `closed` that is a strict rule of `before` would turn strict there:
// refused.
Written LeftClosure(const Problem& before, const std::vector<Symbol>& letters,
                    const Problem& closed, const Fragment& sub) {
  for (const Rule& r : closed.weak)
    if (Contains(before.strict, r))
      return std::string("a closed weak rule that is a strict rule before the closure");
  std::string contexts;
  for (Symbol a : letters)
    contexts += Element("funContext", SymbolXml(before.alphabet, a) + "<before/><box/><after/>");
  const std::string body =
      Element("flatContexts", contexts) + Remaining(closed, HasWeak(closed)) + sub.xml;
  return Make(FragmentKind::Termination,
              Element(TerminationTag(before), Element("flatContextClosure", body)));
}

// The right closure of `before` by `letters`: reversal, left closure, reversal; `sub`
// proves `after`, which must be that closure (as sets).
Written RightClosure(const Problem& before, const std::vector<Symbol>& letters,
                     const Problem& after, const Fragment& sub) {
  const Problem reversed = ReversedRules(before);
  const Problem closed = LeftClosed(reversed, letters);
  const Problem back = ReversedRules(closed);
  if (!SameProblem(after, back)) return std::string("the subproblem is not the right closure");
  // The certifier computes the problem after a reversal itself; `back` and `after`
  // differ at most in the order of their rules.
  Written inner = Reversal(closed, back, sub);
  if (!Ok(inner)) return inner;
  Written middle = LeftClosure(reversed, letters, closed, std::get<Fragment>(inner));
  if (!Ok(middle)) return middle;
  return Reversal(before, reversed, std::get<Fragment>(middle));
}

// The word `w` followed by the variable x, each letter s written as `letters[s]`.
std::string LabelledTerm(const std::vector<std::string>& letters, const Word& w) {
  std::string out;
  for (Symbol s : w) out += "<funapp>" + letters[s] + "<arg>";
  out += "<var>x</var>";
  for (std::size_t i = 0; i < w.size(); ++i) out += "</arg></funapp>";
  return out;
}

std::string LabelledTrs(const std::vector<std::string>& letters, const std::vector<Rule>& rules) {
  std::string out;
  for (const Rule& r : rules)
    out += Element("rule", Element("lhs", LabelledTerm(letters, r.lhs)) +
                               Element("rhs", LabelledTerm(letters, r.rhs)));
  return Element("trs", Element("rules", out));
}

// Replaces in `xml` every letter <name>N</name> by the labelled form that `names` (sorted
// by N) gives; false, with `error` set, when a name is not there.
bool Relabel(std::string& xml, const std::vector<std::pair<std::string, std::string>>& names,
             std::string& error) {
  static const std::string open = "<name>", close = "</name>";
  std::string out;
  out.reserve(xml.size() * 2);
  std::size_t at = 0;
  for (std::size_t o; (o = xml.find(open, at)) != std::string::npos;) {
    const std::size_t from = o + open.size(), to = xml.find(close, from);
    if (to == std::string::npos) {
      error = "a name without its end in the proof below";
      return false;
    }
    const std::string name = xml.substr(from, to - from);
    const auto it = std::lower_bound(names.begin(), names.end(), name,
                                     [](const std::pair<std::string, std::string>& e,
                                        const std::string& n) { return e.first < n; });
    if (it == names.end() || it->first != name) {
      error = "the letter " + name + " of the proof below is not one of the labelled problem";
      return false;
    }
    out.append(xml, at, o - at).append(it->second);
    at = to + close.size();
  }
  out.append(xml, at);
  xml = std::move(out);
  return true;
}

// A labelling step: `model` is the certifier's model element, `base[s]` the letter of
// `before` that letter s of `after` labels, `letters[s]` its labelled form. The
// certifier sorts the labelled rules by whether their unlabelled rule is weak, so a
// strict rule of `after` must come from a strict rule that is not also weak.
Written Labelling(const Problem& before, const std::string& model, const std::vector<Symbol>& base,
                  const std::vector<std::string>& letters, const Problem& after,
                  const Fragment& sub) {
  if (!before.IsRelative() || !after.IsRelative())
    return std::string("labelling outside a relative problem");
  if (sub.kind != FragmentKind::Termination)
    return std::string("labelling carries over termination only");
  const int n = after.alphabet.size();
  if (static_cast<int>(base.size()) != n || static_cast<int>(letters.size()) != n)
    return std::string("labels for a different alphabet");
  for (Symbol s = 0; s < n; ++s)
    if (after.alphabet.IsMarked(s)) return std::string("a marked letter in a labelled problem");
  std::vector<std::pair<std::string, std::string>> names;
  for (Symbol s = 0; s < n; ++s) names.emplace_back(Escape(after.alphabet.names[s]), letters[s]);
  std::sort(names.begin(), names.end());
  for (std::size_t i = 1; i < names.size(); ++i)
    if (names[i].first == names[i - 1].first)
      return std::string("two letters of one name in the labelled problem");
  std::vector<std::string> forms = letters;
  std::sort(forms.begin(), forms.end());
  if (std::adjacent_find(forms.begin(), forms.end()) != forms.end())
    return std::string("two letters with the same label");
  const auto unlabelled = [&](const Rule& r) {
    Rule u;
    for (Symbol s : r.lhs) u.lhs.push_back(base[s]);
    for (Symbol s : r.rhs) u.rhs.push_back(base[s]);
    return u;
  };
  for (const Rule& r : after.strict) {
    const Rule u = unlabelled(r);
    if (!Contains(before.strict, u) || Contains(before.weak, u))
      return std::string("a labelled strict rule that is not a label of a strict rule only");
  }
  for (const Rule& r : after.weak)
    if (!Contains(before.weak, unlabelled(r)))
      return std::string("a labelled weak rule that is not a label of a weak rule");
  std::string below = sub.xml, error;
  if (!Relabel(below, names, error)) return error;
  std::string body = Element("model", model) + LabelledTrs(letters, after.strict);
  if (!after.weak.empty()) body += LabelledTrs(letters, after.weak);
  return Make(FragmentKind::Termination,
              Element(TerminationTag(before), Element("semlab", body + below)));
}

// [a] as the certifier's arithmetic function of the variable 1: a chain of comparisons,
// the last value otherwise.
std::string TableFunction(const std::vector<int>& values) {
  const auto f = [](const std::string& x) { return Element("arithFunction", x); };
  std::string out = f(Element("natural", std::to_string(values.back())));
  for (std::size_t k = values.size() - 1; k-- > 0;)
    out = f(Element("ifEqual", f(Element("variable", "1")) +
                                   f(Element("natural", std::to_string(k))) +
                                   f(Element("natural", std::to_string(values[k]))) + out));
  return out;
}

}  // namespace

namespace {

// Rule removal by arctic matrices without constants, every (1,1) entry finite and ≥ 0;
// negative entries only when `integers`.
Written ArcticRemoval(const Problem& before, const ArcticInterpretation& interpretation,
                      const Problem& after, const Fragment& sub, bool integers) {
  if (auto e = CheckShape(before, interpretation); !e.empty()) return e;
  for (Symbol s : LettersInOrder(before)) {
    const ArcticMap& m = interpretation.letters[s];
    const std::string& name = before.alphabet.names[s];
    if (!m.matrix[0][0] || *m.matrix[0][0] < 0)
      return "the (1,1) entry of " + name + " is -infinity or negative";
    for (const Arctic& c : m.constant)
      if (c) return "the map of " + name + " has a finite constant, which is not monotone";
    if (!integers)
      for (const auto& row : m.matrix)
        for (const Arctic& e : row)
          if (e && *e < 0) return "the map of " + name + " has a negative entry";
  }
  return OrientingStep(ProblemKind::Relative, before, interpretation, after, sub,
                       integers ? "<arctic><domain><integers/></domain></arctic>"
                                : "<arctic><domain><naturals/></domain></arctic>");
}

}  // namespace

Written ArcticRuleRemoval(const Problem& before, const ArcticInterpretation& interpretation,
                          const Problem& after, const Fragment& sub) {
  return ArcticRemoval(before, interpretation, after, sub, false);
}

Written ArcticRuleRemovalIntegers(const Problem& before, const ArcticInterpretation& interpretation,
                                  const Problem& after, const Fragment& sub) {
  return ArcticRemoval(before, interpretation, after, sub, true);
}

NaturalInterpretation WeightInterpretation(const std::vector<mpz_class>& weights) {
  NaturalInterpretation out{1, {}};
  for (const mpz_class& w : weights) out.letters.push_back(NaturalMap{{{mpz_class(1)}}, {w}});
  return out;
}

Written TrivialWeakRules(const Problem& before, const Problem& after, const Fragment& sub) {
  if (!before.IsRelative() || !after.IsRelative())
    return std::string("trivial weak rules outside a relative problem");
  bool equal = false, copies = false;
  std::vector<Rule> kept;  // the weak rules that are neither l ->= l nor strict
  for (const Rule& r : before.weak) {
    if (r.lhs == r.rhs) {
      equal = true;
    } else if (Contains(before.strict, r)) {
      copies = true;
    } else {
      kept.push_back(r);
    }
  }
  if (!SameRules(after.strict, before.strict) || !SameRules(after.weak, kept))
    return std::string("the subproblem is not the problem without its trivial weak rules");
  if (sub.kind != FragmentKind::Termination) return RuleRemovalNontermination(before, after, sub);
  Fragment out = sub;
  if (copies) {
    // Without the rules l ->= l: split by the strict rules. The first part is R over the
    // weak rules that are not strict, the subproblem; the second has no strict rule.
    Problem unequal = before, rest = before;
    unequal.weak.clear();
    for (const Rule& r : before.weak)
      if (r.lhs != r.rhs) unequal.weak.push_back(r);
    rest.strict.clear();
    rest.weak = kept;
    Written w =
        Split(unequal, before.strict, after, out, rest, std::get<Fragment>(NoStrictRules()));
    if (!Ok(w)) return w;
    out = std::get<Fragment>(std::move(w));
  }
  if (equal)
    out = Make(FragmentKind::Termination,
               Element(TerminationTag(before), Element("equalityRemoval", out.xml)));
  return out;
}

Written ContextClosure(const Problem& before, ClosureSide side, const Problem& after,
                       const Fragment& sub) {
  if (!before.IsRelative() || !after.IsRelative())
    return std::string("context closure outside a relative problem");
  if (sub.kind != FragmentKind::Termination)
    return std::string("context closure carries over termination only");
  if (!(after.alphabet == before.alphabet))
    return std::string("a context closure that changed the letters");
  const std::vector<Symbol> letters = LettersInOrder(before);
  if (letters.empty()) return std::string("a context closure without a letter in the rules");
  if (side == ClosureSide::Right) return RightClosure(before, letters, after, sub);
  const Problem left = LeftClosed(before, letters);
  if (side == ClosureSide::Left) {
    if (!SameProblem(after, left)) return std::string("the subproblem is not the left closure");
    return LeftClosure(before, letters, after, sub);
  }
  // Both sides: the left closure, then the right closure of that by the same letters.
  Written right = RightClosure(left, letters, after, sub);
  if (!Ok(right)) return right;
  return LeftClosure(before, letters, left, std::get<Fragment>(right));
}

Written RootLabelling(const Problem& before, const std::vector<RootLabel>& labels,
                      const Problem& after, const Fragment& sub) {
  std::vector<Symbol> base;
  std::vector<std::string> letters;
  for (const RootLabel& l : labels) {
    if (l.letter < 0 || l.letter >= before.alphabet.size() || l.label < 0 ||
        l.label >= before.alphabet.size())
      return std::string("a label outside the letters");
    base.push_back(l.letter);
    letters.push_back(
        Element("labeledSymbol", SymbolXml(before.alphabet, l.letter) +
                                     Element("symbolLabel", SymbolXml(before.alphabet, l.label))));
  }
  return Labelling(before, "<rootLabeling/>", base, letters, after, sub);
}

Written ModelLabelling(const Problem& before, const FiniteModel& model,
                       const std::vector<ModelLabel>& labels, const Problem& after,
                       const Fragment& sub) {
  if (model.size < 1) return std::string("a model without elements");
  const std::vector<Symbol> used = LettersInOrder(before);
  std::string interpretation;
  for (Symbol a : used) {
    if (static_cast<std::size_t>(a) >= model.values.size() ||
        model.values[a].size() != static_cast<std::size_t>(model.size))
      return "no table of " + before.alphabet.names[a] + " in the model";
    for (int v : model.values[a])
      if (v < 0 || v >= model.size)
        return "a value outside the model for " + before.alphabet.names[a];
    interpretation += Element("interpret", SymbolXml(before.alphabet, a) + Element("arity", "1") +
                                               TableFunction(model.values[a]));
  }
  std::vector<Symbol> base;
  std::vector<std::string> letters;
  for (const ModelLabel& l : labels) {
    if (l.letter < 0 || l.letter >= before.alphabet.size())
      return std::string("a label of a letter that is not there");
    if (l.value < 0 || l.value >= model.size) return std::string("a label outside the model");
    base.push_back(l.letter);
    letters.push_back(Element(
        "labeledSymbol", SymbolXml(before.alphabet, l.letter) +
                             Element("numberLabel", Element("number", std::to_string(l.value)))));
  }
  const std::string element =
      Element("finiteModel", Element("carrierSize", std::to_string(model.size)) + interpretation);
  return Labelling(before, element, base, letters, after, sub);
}

Written Split(const Problem& before, const std::vector<Rule>& removed, const Problem& first,
              const Fragment& firstProof, const Problem& second, const Fragment& secondProof) {
  if (!before.IsRelative() || !first.IsRelative() || !second.IsRelative())
    return std::string("a split outside a relative problem");
  if (firstProof.kind != FragmentKind::Termination || secondProof.kind != FragmentKind::Termination)
    return std::string("a split carries over termination only");
  Problem d = before, rest = before;
  d.strict.clear();
  d.weak.clear();
  rest.strict.clear();
  rest.weak.clear();
  for (const auto* rules : {&before.strict, &before.weak})
    for (const Rule& r : *rules) (Contains(removed, r) ? d.strict : d.weak).push_back(r);
  for (const Rule& r : before.strict)
    if (!Contains(removed, r)) rest.strict.push_back(r);
  for (const Rule& r : before.weak)
    if (!Contains(removed, r)) rest.weak.push_back(r);
  if (!SameProblem(first, d)) return std::string("the first part is not D over the other rules");
  if (!SameProblem(second, rest)) return std::string("the second part is not the rest without D");
  return Make(
      FragmentKind::Termination,
      Element(TerminationTag(before),
              Element("split", Trs(before.alphabet, removed) + firstProof.xml + secondProof.xml)));
}

}  // namespace velkin::strong::cpf
