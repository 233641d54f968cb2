// Runs the certifier on a certificate. The certifier is built by the test fixture
// `ceta_build` into VELKIN_CETA; where it could not be built (no GHC), the tests that
// need it are skipped with the reason.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace velkin::cetatest {

namespace fs = std::filesystem;

inline std::string CetaPath() {
  return VELKIN_CETA;
}

inline bool CetaBuilt() {
  return ::access(CetaPath().c_str(), X_OK) == 0;
}

// Skips the calling test when the certifier is missing.
#define VELKIN_REQUIRE_CETA()                                                            \
  do {                                                                                   \
    if (!::velkin::cetatest::CetaBuilt())                                                \
      GTEST_SKIP() << "the certifier is not built at " << ::velkin::cetatest::CetaPath() \
                   << " (GHC missing? scripts/install-deps.sh ceta installs it)";        \
  } while (0)

struct Verdict {
  std::string first_line;  // the first line of the certifier's output: CERTIFIED or REJECTED
  std::string output;      // all that it printed, the reasons (on stderr) last
};

// What the certifier says of the certificate file `path`; with `input` (an XTC file) and
// `claim` (YES or NO), it also checks that the certificate proves that claim of that input.
inline Verdict CertifyFile(const std::string& path, const std::string& input = "",
                           const std::string& claim = "") {
  const std::string reasons = path + ".reasons", claim_file = path + ".claim";
  std::string command = "'" + CetaPath() + "' ";
  if (!input.empty()) {
    std::ofstream(claim_file) << (claim == "YES" ? "<terminating/>\n" : "<nonterminating/>\n");
    command += "'" + input + "' '" + claim_file + "' ";
  }
  command += "'" + path + "' 2>'" + reasons + "'";
  Verdict v;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) v.output.append(buf, n);
    ::pclose(p);
  }
  {
    std::ifstream in(reasons, std::ios::binary);
    v.output += std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::remove(reasons);
  fs::remove(claim_file);
  v.first_line = v.output.substr(0, v.output.find('\n'));
  return v;
}

// Writes `certificate` to a scratch file and returns what the certifier says of it.
inline Verdict Certify(const std::string& certificate) {
  std::string tmpl = (fs::temp_directory_path() / "velkin-cpf-XXXXXX").string();
  const int fd = ::mkstemp(tmpl.data());
  EXPECT_GE(fd, 0);
  ::close(fd);
  {
    std::ofstream out(tmpl, std::ios::binary);
    out << certificate;
  }
  Verdict v = CertifyFile(tmpl);
  fs::remove(tmpl);
  return v;
}

// `s` with the first occurrence of `from` replaced by `to` (a tampered certificate);
// fails the test when there is none.
inline std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  const auto at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

}  // namespace velkin::cetatest
