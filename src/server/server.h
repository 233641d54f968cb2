// `velkin serve`: a small HTTP server with one page that proves what a visitor types.
// It is a door to the machine, so every request is bounded: its size, its time, and the
// number of proofs at once; it reads and writes no files, and it answers only requests
// for localhost unless told to bind elsewhere.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

namespace velkin::server {

// The time limit of a request that names none (cut to the cap).
inline constexpr double kDefaultRequestTimeout = 10;
// How long a request waits for a free run before it is answered 503.
inline constexpr double kQueueWaitSeconds = 2;

struct ServerOptions {
  std::string bind = "127.0.0.1";  // the address to listen on
  int port = 8080;                 // 0: any free port
  int jobs = 0;                    // proofs at once, one thread each; 0: the number of cores
  double maxTimeoutSeconds = 60;   // the cap on a request's time limit (> 0)
  std::size_t maxInputBytes = std::size_t{256} << 10;  // the largest system a request sends
};

// The server: its socket, its handlers and the proofs it runs. The routes:
//   GET /, /app.js, /style.css   the page, its script and style sheet
//   POST /prove?format=F&strategy=S&timeout=T   the body (text/plain, UTF-8) is the
//       system; the reply is a JSON object (status, proof, certificate, notes, ...).
// Requests beyond the limits get 413 (too large), 503 (every run busy for
// kQueueWaitSeconds) or 400/404/405/415 (malformed); with a loopback bind address,
// requests for another host name get 403 (a page elsewhere cannot reach it by DNS).
class WebServer {
 public:
  explicit WebServer(ServerOptions options);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds the socket. On failure returns false and says why in `error`.
  bool Bind(std::string& error);
  // The port bound (the chosen one for port 0); 0 before Bind.
  int port() const;
  // Serves until Stop; returns once every request in progress has been answered.
  void Serve();
  // True while Serve accepts connections.
  bool Listening() const;
  // Any thread, once Listening, at most once: the running proofs give up (they answer
  // "no proof"), waiting requests get 503, and Serve returns once all are answered.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The command: binds, says where it listens on `out`, serves until SIGINT or SIGTERM,
// then stops cleanly (running proofs end early, every request is answered) and returns
// 0; 2 when the socket cannot be bound.
int RunServeCommand(const ServerOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velkin::server
