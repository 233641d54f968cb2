// The strong strategy's certificates on a fixed corpus sample (corpus-sample.tsv:
// standard and relative problems, YES and NO), judged by the certifier: every answer
// comes with a certificate and every certificate is CERTIFIED; a certificate with one
// matrix entry changed and one with one loop step changed are REJECTED.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include "ceta_util.h"

namespace velkin::cetatest {
namespace {

// Where a rule removal by natural matrices begins in a certificate.
constexpr const char* kNaturalRemoval =
    "<ruleRemoval><orderingConstraintProof><redPair><interpretation><type>"
    "<matrixInterpretation><domain><naturals/></domain>";

struct SampleProblem {
  std::string path;   // relative to the corpus folder: xml/... or plain/...
  std::string known;  // YES or NO
};

std::vector<SampleProblem> Sample() {
  std::ifstream in(std::string(VELKIN_SOURCE_DIR) + "/tests/certifier/corpus-sample.tsv");
  std::vector<SampleProblem> out;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const auto tab = line.find('\t');
    out.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Changes the text between `open` and the next '<' after the first occurrence of
// `anchor` by `edit`; false when there is no such place.
bool ChangeAfter(std::string& text, const std::string& anchor, const std::string& open,
                 const std::function<std::string(const std::string&)>& edit) {
  const auto a = text.find(anchor);
  if (a == std::string::npos) return false;
  const auto o = text.find(open, a);
  if (o == std::string::npos) return false;
  const auto from = o + open.size();
  const auto to = text.find('<', from);
  text.replace(from, to - from, edit(text.substr(from, to - from)));
  return true;
}

class CertifiedCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "velkin-cpf-corpus-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(CertifiedCorpus, EveryAnswerOfTheSampleIsCertifiedAndTamperingIsRejected) {
  VELKIN_REQUIRE_CETA();
  if (!fs::exists(VELKIN_CORPUS_DIR)) GTEST_SKIP() << "no corpus at " << VELKIN_CORPUS_DIR;
  std::vector<SampleProblem> sample = Sample();
  ASSERT_GE(sample.size(), 60u);
  // Under the sanitizers the strategy runs several times slower: every fifth problem.
  const bool sanitized = std::getenv("VELKIN_SANITIZED") != nullptr;
  if (sanitized) {
    std::vector<SampleProblem> fifth;
    for (std::size_t i = 0; i < sample.size(); i += 5) fifth.push_back(sample[i]);
    sample = fifth;
  }
  const fs::path problems = dir_ / "problems", certs = dir_ / "certs";
  std::map<std::string, SampleProblem> by_name;  // the problem's path under `problems`
  for (const SampleProblem& p : sample) {
    const fs::path to = problems / p.path;
    fs::create_directories(to.parent_path());
    fs::copy_file(fs::path(VELKIN_CORPUS_DIR) / p.path, to);
    by_name[p.path] = p;
  }
  const std::string csv = (dir_ / "results.csv").string();
  const std::string command = std::string("'") + VELKIN_EXE +
                              "' batch --strategy strong --certified --termcomp --timeout " +
                              (sanitized ? "30" : "10") + " --jobs 2 --csv '" + csv +
                              "' --cpf-dir '" + certs.string() + "' '" + problems.string() +
                              "' >/dev/null 2>'" + (dir_ / "stderr").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadAll((dir_ / "stderr").string());

  std::istringstream rows(ReadAll(csv));
  std::string row;
  std::getline(rows, row);  // header
  int answers = 0, certified = 0;
  std::map<std::string, int> kinds;  // "SRS_Standard YES", ...
  std::string a_removal, a_loop;     // certificates to tamper with
  while (std::getline(rows, row)) {
    std::vector<std::string> cells;
    std::stringstream cs(row);
    for (std::string c; std::getline(cs, c, ',');) cells.push_back(c);
    ASSERT_GE(cells.size(), 2u) << row;
    const std::string name = fs::relative(cells[0], problems).string();
    ASSERT_EQ(by_name.count(name), 1u) << cells[0];
    const std::string& status = cells[1];
    fs::path cert = certs / name;
    cert.replace_extension(".cpf");
    if (status != "YES" && status != "NO") {
      EXPECT_FALSE(fs::exists(cert)) << "a certificate for an unanswered " << name;
      continue;
    }
    ++answers;
    EXPECT_EQ(status, by_name[name].known) << name << " contradicts its known verdict";
    kinds[std::next(fs::path(name).begin())->string() + " " + status]++;  // SRS_Standard YES
    ASSERT_TRUE(fs::exists(cert)) << "no certificate for " << name;
    // An XTC input is also checked against the certificate's input and the claim.
    const bool xtc = name.rfind("xml/", 0) == 0;
    const Verdict v = xtc ? CertifyFile(cert.string(), (problems / name).string(), status)
                          : CertifyFile(cert.string());
    EXPECT_EQ(v.first_line, "CERTIFIED") << name << "\n" << v.output.substr(0, 2000);
    if (v.first_line != "CERTIFIED") continue;
    ++certified;
    const std::string text = ReadAll(cert.string());
    if (a_removal.empty() && text.find(kNaturalRemoval) != std::string::npos)
      a_removal = cert.string();
    if (a_loop.empty() && text.find("<loop>") != std::string::npos) a_loop = cert.string();
  }
  std::cout << "[ sample   ] " << sample.size() << " problems, " << answers << " answers, "
            << certified << " certified\n";
  for (const auto& [kind, n] : kinds) std::cout << "[ sample   ] " << kind << ": " << n << "\n";
  EXPECT_EQ(certified, answers);
  if (!sanitized) {
    // The sample holds problems that the strategy answers in about a second, a tenth
    // of the time limit.
    EXPECT_GE(answers, 60);
    for (const char* kind :
         {"SRS_Standard YES", "SRS_Standard NO", "SRS_Relative YES", "SRS_Relative NO"})
      EXPECT_GE(kinds[kind], 1) << kind;
  }

  // One matrix entry changed: in a rule removal by natural matrices, the first letter's
  // matrix gets 0 at (1,1), no longer monotone, so the removal is refused. (An arctic
  // matrix with (1,1) = 0 is fine, so the tampered removal must be a natural one.)
  ASSERT_FALSE(a_removal.empty()) << "no certificate with a rule removal by natural matrices";
  std::string removal = ReadAll(a_removal);
  ASSERT_TRUE(ChangeAfter(removal, kNaturalRemoval, "<matrix><vector><coefficient><integer>",
                          [](const std::string&) { return std::string("0"); }));
  WriteAll((dir_ / "matrix.cpf").string(), removal);
  EXPECT_EQ(CertifyFile((dir_ / "matrix.cpf").string()).first_line, "REJECTED") << a_removal;

  // One loop step changed: the first step one letter further in.
  ASSERT_FALSE(a_loop.empty()) << "no certificate with a loop";
  std::string loop = ReadAll(a_loop);
  const auto step = loop.find("<rewriteStep><positionInTerm>");
  ASSERT_NE(step, std::string::npos);
  loop.insert(step + std::string("<rewriteStep><positionInTerm>").size(), "<position>1</position>");
  WriteAll((dir_ / "loop.cpf").string(), loop);
  EXPECT_EQ(CertifyFile((dir_ / "loop.cpf").string()).first_line, "REJECTED") << a_loop;
}

}  // namespace
}  // namespace velkin::cetatest
