// `velkin serve` through the built executable and raw HTTP: the page, proofs, and the
// limits that keep the machine safe (size, time, concurrency, malformed requests,
// escaping, host names), and a clean end on SIGTERM.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "cli_test_util.h"

extern char** environ;

namespace velkin::clitest {
namespace {

// No road answers it (nor any tool of the 2025 competition): the strong strategy runs to
// its time limit.
const char* const kEndless = "0001 -> 1101\n1001 -> 0100\n";

double SecondsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// A `velkin serve --port 0 ARGS` process: started in the constructor, its port read from
// the first line it prints; killed (SIGKILL) in the destructor unless Stop ended it.
class Server {
 public:
  explicit Server(std::vector<std::string> args) {
    args.insert(args.begin(), {VELKIN_EXE, "serve", "--port", "0"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (err_ / "err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(posix_spawn(&pid_, VELKIN_EXE, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
    char line[512] = "";
    if (out_ != nullptr && std::fgets(line, sizeof line, out_) != nullptr) first_ = line;
    const auto at = first_.find("127.0.0.1:");
    if (at != std::string::npos) port_ = std::stoi(first_.substr(at + 10));
    EXPECT_GT(port_, 0) << "first line: " << first_ << " stderr: " << Err();
  }
  ~Server() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ != nullptr) std::fclose(out_);
  }
  int port() const { return port_; }
  std::string Err() const { return ReadFile(err_ / "err"); }

  // Sends `signal` and waits for the end; returns the exit status (-1: not an exit) and
  // the rest of standard output.
  int Stop(int signal, std::string& rest) {
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    char line[512];
    while (std::fgets(line, sizeof line, out_) != nullptr) rest += line;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  ScratchDir err_;
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  std::string first_;
  int port_ = 0;
};

struct Reply {
  int status = 0;
  std::string head, body;
  bool Has(const std::string& s) const { return body.find(s) != std::string::npos; }
};

// Sends `request` as it is to 127.0.0.1:port and reads the reply: its head and as much
// body as its Content-Length says (all until the server closes without one).
Reply Exchange(int port, const std::string& request) {
  Reply r;
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval limit{60, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return r;
  }
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string all;
  char buf[65536];
  const auto complete = [&] {
    const auto end = all.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    const auto length = all.find("Content-Length: ");
    if (length == std::string::npos || length > end) return false;
    return all.size() >= end + 4 + std::stoul(all.substr(length + 16));
  };
  for (ssize_t n; !complete() && (n = ::recv(fd, buf, sizeof buf, 0)) > 0;)
    all.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  const auto end = all.find("\r\n\r\n");
  r.head = all.substr(0, end);
  if (end != std::string::npos) r.body = all.substr(end + 4);
  if (all.rfind("HTTP/1.", 0) == 0 && all.size() > 12) r.status = std::stoi(all.substr(9, 3));
  return r;
}

std::string Request(const std::string& method, const std::string& target, const std::string& body,
                    const std::string& extraHeaders = "") {
  std::string r = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (method == "POST") {
    if (extraHeaders.find("Content-Type") == std::string::npos)
      r += "Content-Type: text/plain; charset=utf-8\r\n";
    r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  return r + extraHeaders + "\r\n" + body;
}

Reply Prove(int port, const std::string& query, const std::string& system,
            const std::string& extraHeaders = "") {
  return Exchange(port, Request("POST", "/prove?" + query, system, extraHeaders));
}

// The value of a JSON string field, unescaped as far as these tests need (\n, \", \\,
// \u00XX).
std::string Field(const std::string& json, const std::string& key) {
  const std::string open = "\"" + key + "\":\"";
  const auto at = json.find(open);
  if (at == std::string::npos) return "<none>";
  std::string v;
  for (std::size_t i = at + open.size(); i < json.size() && json[i] != '"'; ++i) {
    if (json[i] == '\\' && i + 1 < json.size()) {
      const char c = json[++i];
      if (c == 'u' && i + 4 < json.size()) {  // ASCII only: \u00XX
        v += static_cast<char>(std::stoi(json.substr(i + 3, 2), nullptr, 16));
        i += 4;
      } else {
        v += c == 'n' ? '\n' : c;
      }
    } else {
      v += json[i];
    }
  }
  return v;
}

TEST(ServeCommand, ServesThePageAndProvesAsTheCommandLineDoes) {
  Server server({"--jobs", "2"});
  const Reply page = Exchange(server.port(), Request("GET", "/", ""));
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.head.find("Content-Type: text/html"), std::string::npos) << page.head;
  EXPECT_NE(page.head.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
  EXPECT_TRUE(page.Has("<textarea id=\"system\""));
  EXPECT_TRUE(page.Has("<button id=\"prove\""));
  EXPECT_EQ(Exchange(server.port(), Request("GET", "/app.js", "")).status, 200);
  EXPECT_EQ(Exchange(server.port(), Request("GET", "/style.css", "")).status, 200);

  // The classic strategy: the proof text of `velkin FILE`, byte for byte.
  const std::string file = std::string(VELKIN_SOURCE_DIR) + "/examples/ab.srs";
  const Outcome cli = Velkin("'" + file + "'");
  ASSERT_EQ(cli.code, 0);
  Reply r = Prove(server.port(), "strategy=classic&format=plain", ReadFile(file));
  EXPECT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(Field(r.body, "status"), "terminating");
  EXPECT_EQ(Field(r.body, "proof"), cli.out.substr(cli.out.find('\n') + 1));
  EXPECT_TRUE(r.Has("\"certificate\":null"));

  // The strong strategy: a proof, with a certificate or the reason why there is none;
  // a loop in tpdb format, with its certificate.
  r = Prove(server.port(), "strategy=strong&timeout=20", "ab -> ba\n");
  EXPECT_EQ(Field(r.body, "status"), "terminating") << r.body;
  EXPECT_EQ(Field(r.body, "proof").rfind("Problem 1: termination of R", 0), 0u) << r.body;
  EXPECT_TRUE(Field(r.body, "certificate").find("cpfVersion") != std::string::npos ||
              Field(r.body, "noCertificate") != "<none>")
      << r.body;
  r = Prove(server.port(), "format=tpdb", "(RULES a b -> b a b)");
  EXPECT_EQ(Field(r.body, "status"), "loop found") << r.body;
  EXPECT_EQ(Field(r.body, "answer"), "NO");
  EXPECT_NE(Field(r.body, "certificate").find("<loop>"), std::string::npos) << r.body;
  // The reader's warnings come first among the notes, as for the classic strategy.
  r = Prove(server.port(), "strategy=strong&timeout=20", "ab -> ba  rev\n");
  EXPECT_EQ(Field(r.body, "status"), "terminating") << r.body;
  EXPECT_TRUE(r.Has("\"notes\":[\"warning: line 1: text after the right-hand side is ignored"))
      << r.body;

  // A refused system is answered 422 with the reader's message.
  r = Prove(server.port(), "strategy=classic", "ab -> ba\nab\n");
  EXPECT_EQ(r.status, 422);
  EXPECT_EQ(Field(r.body, "error").rfind("line 2: ", 0), 0u) << r.body;
}

TEST(ServeCommand, RefusesTooLargeInputsAndCutsTimeLimits) {
  Server server({"--max-input", "1000", "--max-timeout", "1"});
  std::string big(1001, 'a');
  big[1] = '-';
  big[2] = '>';
  EXPECT_EQ(Prove(server.port(), "", big).status, 413);
  // The same size without a Content-Length (chunked) is refused as well.
  std::string chunked =
      "POST /prove HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
      "Content-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 3; ++i) chunked += "190\r\n" + std::string(400, 'a') + "\r\n";
  chunked += "0\r\n\r\n";
  EXPECT_EQ(Exchange(server.port(), chunked).status, 413);
  EXPECT_EQ(Prove(server.port(), "", big.substr(0, 1000)).status, 200);

  // A request's time limit is cut to the server's 1 s.
  const auto start = std::chrono::steady_clock::now();
  const Reply r = Prove(server.port(), "strategy=strong&timeout=1000", kEndless);
  EXPECT_LT(SecondsSince(start), 10.0);
  EXPECT_EQ(Field(r.body, "status"), "no proof") << r.body;
  EXPECT_TRUE(r.Has("\"timedOut\":true")) << r.body;
  EXPECT_TRUE(r.Has("\"timeLimit\":1.000")) << r.body;
}

TEST(ServeCommand, RunsAtMostJobsProofsAtOnce) {
  Server server({"--jobs", "1", "--max-timeout", "5"});
  auto first = std::async(std::launch::async, [&] {
    return Prove(server.port(), "strategy=strong&timeout=4", kEndless);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  // The one run slot is taken: a second request waits two seconds, then gets 503; the
  // page itself is still served meanwhile.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Exchange(server.port(), Request("GET", "/", "")).status, 200);
  const Reply busy = Prove(server.port(), "strategy=classic", "ab -> ba\n");
  EXPECT_EQ(busy.status, 503) << busy.body;
  EXPECT_GE(SecondsSince(start), 1.5);
  EXPECT_NE(busy.head.find("Retry-After:"), std::string::npos) << busy.head;
  EXPECT_EQ(Field(first.get().body, "status"), "no proof");
  // Once the slot is free again, the next request runs.
  EXPECT_EQ(Field(Prove(server.port(), "strategy=classic", "ab -> ba\n").body, "status"),
            "terminating");
}

TEST(ServeCommand, AnswersMalformedRequestsWith4xx) {
  Server server({});
  const int port = server.port();
  EXPECT_EQ(Exchange(port, "NONSENSE\r\n\r\n").status, 400);
  EXPECT_EQ(Exchange(port, "GET / HTTP/9.9\r\nHost: 127.0.0.1\r\n\r\n").status, 400);
  EXPECT_EQ(Exchange(port,
                     "POST /prove HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n"
                     "Transfer-Encoding: chunked\r\n\r\nnot a chunk\r\n")
                .status,
            400);
  EXPECT_EQ(Exchange(port, Request("GET", "/" + std::string(9000, 'x'), "")).status, 414);
  EXPECT_EQ(Exchange(port, Request("GET", "/etc/passwd", "")).status, 404);
  EXPECT_EQ(Exchange(port, Request("GET", "/../../etc/passwd", "")).status, 404);
  const Reply get = Exchange(port, Request("GET", "/prove", ""));
  EXPECT_EQ(get.status, 405);
  EXPECT_NE(get.head.find("Allow: POST"), std::string::npos);
  for (const char* query : {"format=yaml", "strategy=fast", "timeout=abc", "timeout=0",
                            "timeout=nan", "colour=red", "format=plain&format=tpdb"}) {
    const Reply r = Prove(port, query, "ab -> ba\n");
    EXPECT_EQ(r.status, 400) << query;
    EXPECT_NE(Field(r.body, "error"), "<none>") << query << ": " << r.body;
  }
  EXPECT_EQ(Prove(port, "", "{}", "Content-Type: application/json\r\n").status, 415);
}

TEST(ServeCommand, EchoesNothingUnescapedAndAnswersOnlyLocalhost) {
  Server server({});
  const int port = server.port();
  // Every character is a symbol: the proof and the reader's warning repeat the markup,
  // and the JSON carries it with < > & escaped.
  const std::string markup = "<script>alert(1)</script> & <img src=x onerror=alert(2)>";
  Reply r = Prove(port, "strategy=classic", markup + "\n");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body.find('<'), std::string::npos) << r.body;
  EXPECT_EQ(r.body.find('>'), std::string::npos) << r.body;
  EXPECT_EQ(r.body.find('&'), std::string::npos) << r.body;
  EXPECT_NE(Field(r.body, "proof").find("< s c r i p t"), std::string::npos) << r.body;
  // Messages that quote the request.
  r = Prove(port, "%3Cb%3E%26=1", "ab -> ba\n");
  EXPECT_EQ(r.status, 400);
  EXPECT_EQ(r.body.find('<'), std::string::npos) << r.body;
  EXPECT_EQ(Field(r.body, "error"), "unknown parameter <b>&");
  EXPECT_NE(r.head.find("Content-Type: application/json"), std::string::npos);
  EXPECT_NE(r.head.find("X-Content-Type-Options: nosniff"), std::string::npos);
  r = Prove(port, "timeout=%3Cscript%3E", "ab -> ba\n");
  EXPECT_EQ(r.status, 400);
  EXPECT_EQ(r.body.find('<'), std::string::npos) << r.body;
  EXPECT_NE(Field(r.body, "error").find("'<script>'"), std::string::npos) << r.body;
  // The page never repeats its query.
  r = Exchange(port, Request("GET", "/?q=%3Cscript%3Ealert(1)%3C/script%3E", ""));
  EXPECT_EQ(r.status, 200);
  EXPECT_FALSE(r.Has("alert(1)"));

  // Another host name (a DNS rebinding page) or another site's form is refused.
  r = Exchange(port, "GET / HTTP/1.1\r\nHost: attacker.example\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(r.status, 403);
  EXPECT_EQ(Prove(port, "", "ab -> ba\n", "Origin: http://attacker.example\r\n").status, 403);
  EXPECT_EQ(
      Exchange(port, "GET / HTTP/1.1\r\nHost: localhost:1\r\nConnection: close\r\n\r\n").status,
      200);
}

TEST(ServeCommand, StopsCleanlyOnSigtermWhileAProofRuns) {
  Server server({"--max-timeout", "60"});
  auto running = std::async(std::launch::async, [&] {
    return Prove(server.port(), "strategy=strong&timeout=60", kEndless);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const auto start = std::chrono::steady_clock::now();
  std::string rest;
  EXPECT_EQ(server.Stop(SIGTERM, rest), 0) << server.Err();
  EXPECT_LT(SecondsSince(start), 10.0);
  EXPECT_NE(rest.find("stopped by SIGTERM"), std::string::npos) << rest;
  // The running proof gave up and was answered.
  const Reply r = running.get();
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(Field(r.body, "status"), "no proof") << r.body;
}

TEST(ServeCommand, HelpAndBadOptions) {
  const Outcome help = Velkin("serve --help");
  EXPECT_EQ(help.code, 0);
  for (const char* word : {"--port", "--bind", "--jobs", "--max-timeout", "--max-input",
                           "127.0.0.1", "8080", "503", "SIGTERM", "POST /prove"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  for (const char* bad : {"--port 70000", "--port x", "--jobs 0", "--max-timeout 0",
                          "--max-input 0", "--bind 203.0.113.7 --port 0"}) {
    const Outcome o = Velkin(std::string("serve ") + bad);
    EXPECT_EQ(o.code, 2) << bad << ": " << o.err;
    EXPECT_NE(o.err, "") << bad;
  }
}

}  // namespace
}  // namespace velkin::clitest
