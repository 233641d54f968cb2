// Helpers for the command-line tests: a scratch folder, files, and running the built
// `velkin` (or the termcomp script) through the shell as a user would.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velkin::clitest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "velkin-cli-XXXXXX").string();
    const char* made = ::mkdtemp(tmpl.data());
    EXPECT_NE(made, nullptr);
    path_ = tmpl;
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

inline void WriteFile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) out.push_back(line);
  return out;
}

struct Outcome {
  int code = -1;
  std::string out, err;
};

// Runs a shell command line in `cwd` (empty: the current folder) with `input` on
// standard input, and collects its exit code and both output streams.
inline Outcome RunShell(const std::string& command, const std::string& input = "",
                        const std::string& cwd = "") {
  ScratchDir io;
  WriteFile(io / "in", input);
  std::string line = "(";
  if (!cwd.empty()) line += "cd '" + cwd + "' && ";
  line += command + ") <'" + (io / "in") + "' >'" + (io / "out") + "' 2>'" + (io / "err") + "'";
  const int status = std::system(line.c_str());
  Outcome o;
  o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = ReadFile(io / "out");
  o.err = ReadFile(io / "err");
  return o;
}

// Runs the built velkin with the given arguments (shell syntax).
inline Outcome Velkin(const std::string& args, const std::string& input = "",
                      const std::string& cwd = "") {
  return RunShell(std::string("'") + VELKIN_EXE + "' " + args, input, cwd);
}

}  // namespace velkin::clitest
