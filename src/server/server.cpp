#include "server/server.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>

#include "cli/cli_support.h"
#include "cli/stop_signals.h"
#include "model/readers.h"
#include "model/time_limit.h"
#include "prover/run.h"
#include "prover/strong_run.h"
#include "server/web_page.h"

#if defined(__SANITIZE_THREAD__)
// Under ThreadSanitizer: the HTTP library is a shared library built without it, whose
// static locals are read on an inlined fast path that the sanitizer cannot see, so its
// own reads are reported as races. Ours are still checked.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libcpp-httplib.so\n";
}
#endif

namespace velkin::server {

namespace {

using Clock = std::chrono::steady_clock;

// The run slots: at most `n` proofs at once; the others wait a while for a free one.
class RunSlots {
 public:
  explicit RunSlots(int n) : free_(n) { assert(n > 0); }

  // Takes a slot, waiting at most `wait`. False when none came free in time or the
  // server is closing.
  bool Acquire(Clock::duration wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return free_ > 0 || closing_; });
    if (closing_ || free_ == 0) return false;
    --free_;
    return true;
  }
  void Release() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++free_;
    }
    changed_.notify_one();
  }
  // No slot is handed out from now on; waiting requests give up at once.
  void Close() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int free_;
  bool closing_ = false;
};

// A JSON string literal that is also safe inside HTML: <, > and & as \u escapes.
std::string Json(std::string_view text) {
  const std::string s = cli::JsonString(text);
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    if (c == '<')
      out += "\\u003c";
    else if (c == '>')
      out += "\\u003e";
    else if (c == '&')
      out += "\\u0026";
    else
      out += c;
  }
  return out;
}

std::string JsonNumber(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

// A JSON object built field by field, in order.
class JsonObject {
 public:
  JsonObject& Text(const char* key, std::string_view value) { return Raw(key, Json(value)); }
  JsonObject& Number(const char* key, double value) { return Raw(key, JsonNumber(value)); }
  JsonObject& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
  JsonObject& Null(const char* key) { return Raw(key, "null"); }
  JsonObject& Raw(const char* key, const std::string& json) {
    body_ += body_.size() > 1 ? "," : "";
    body_ += Json(key) + ":" + json;
    return *this;
  }
  std::string Done() const { return body_ + "}\n"; }

 private:
  std::string body_ = "{";
};

std::string JsonLines(const std::vector<std::string>& lines) {
  std::string s = "[";
  for (std::size_t i = 0; i < lines.size(); ++i) s += (i ? "," : "") + Json(lines[i]);
  return s + "]";
}

// The reader's warnings as the first notes of a reply.
std::vector<std::string> WarningNotes(const std::vector<InputError>& warnings) {
  std::vector<std::string> notes;
  for (const InputError& w : warnings) notes.push_back("warning: " + w.Describe());
  return notes;
}

std::string JoinProof(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& line : lines) s += line + "\n";
  return s;
}

void ReplyJson(httplib::Response& res, int status, const std::string& body) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(body, "application/json; charset=utf-8");
}

void ReplyError(httplib::Response& res, int status, std::string_view message) {
  ReplyJson(res, status, JsonObject().Text("status", "error").Text("error", message).Done());
}

// True for an address that only this machine reaches.
bool IsLoopback(const std::string& address) {
  return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

// The host name of a Host header, without its port.
std::string HostName(const std::string& host) {
  if (!host.empty() && host.front() == '[') {
    const auto close = host.find(']');
    return close == std::string::npos ? host : host.substr(0, close + 1);
  }
  return host.substr(0, host.find(':'));
}

// The reason phrase of the statuses that the library answers on its own.
const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 416:
      return "Range Not Satisfiable";
    case 431:
      return "Request Header Fields Too Large";
    default:
      return status < 500 ? "Refused" : "Server Error";
  }
}

int JobsOf(const ServerOptions& o) {
  return o.jobs > 0 ? o.jobs : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

}  // namespace

struct WebServer::Impl {
  ServerOptions options;
  httplib::Server http;
  RunSlots slots;
  std::atomic<int> stop{0};  // handed to every run: nonzero ends it early
  int port = 0;
  std::string page;

  explicit Impl(ServerOptions o) : options(std::move(o)), slots(JobsOf(options)) {
    assert(options.maxTimeoutSeconds > 0 && options.maxInputBytes > 0);
    options.jobs = JobsOf(options);
    PageLimits limits;
    limits.maxInputBytes = options.maxInputBytes;
    limits.maxTimeoutSeconds = options.maxTimeoutSeconds;
    limits.defaultTimeoutSeconds = std::min(kDefaultRequestTimeout, options.maxTimeoutSeconds);
    limits.jobs = options.jobs;
    page = PageHtml(limits);
    Configure();
  }

  void Configure() {
    // Handlers beyond the runs, so that the page and the 503s are served while every
    // run slot is taken.
    const std::size_t threads = static_cast<std::size_t>(options.jobs) + 8;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_payload_max_length(options.maxInputBytes);
    http.set_read_timeout(5, 0);
    http.set_write_timeout(10, 0);
    http.set_keep_alive_timeout(2);
    http.set_keep_alive_max_count(20);
    http.set_default_headers({
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
         "img-src 'self'; form-action 'none'; base-uri 'none'; frame-ancestors 'none'"},
    });
    http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      if (!IsLoopback(options.bind) || !req.has_header("Host"))
        return httplib::Server::HandlerResponse::Unhandled;
      const std::string name = HostName(req.get_header_value("Host"));
      if (IsLoopback(name) || name == "[::1]") return httplib::Server::HandlerResponse::Unhandled;
      ReplyError(res, 403, "this server answers only requests for localhost");
      return httplib::Server::HandlerResponse::Handled;
    });
    http.Get("/", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(page, "text/html; charset=utf-8");
    });
    http.Get("/app.js", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(PageScript()), "text/javascript; charset=utf-8");
    });
    http.Get("/style.css", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string(PageStyle()), "text/css; charset=utf-8");
    });
    http.Get("/prove", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Allow", "POST");
      ReplyError(res, 405, "send the system with POST");
    });
    http.Post("/prove",
              [this](const httplib::Request& req, httplib::Response& res) { Prove(req, res); });
    // Errors that the library answers itself (a bad request line, a body beyond the
    // limit, an unknown path) get a short text; ours carry their JSON already.
    http.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
          if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
          res.set_content(std::to_string(res.status) + " " + StatusText(res.status) + "\n",
                          "text/plain; charset=utf-8");
          return httplib::Server::HandlerResponse::Handled;
        }));
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                  std::exception_ptr) { ReplyError(res, 500, "internal error"); });
  }

  // POST /prove: checks the request, waits for a run slot, runs and replies.
  void Prove(const httplib::Request& req, httplib::Response& res) {
    if (req.has_header("Origin")) {
      const std::string origin = req.get_header_value("Origin");
      const std::string host = req.get_header_value("Host");
      if (origin != "http://" + host && origin != "https://" + host)
        return ReplyError(res, 403, "a request from another site");
    }
    const std::string type = req.get_header_value("Content-Type");
    if (!type.empty() && type.rfind("text/plain", 0) != 0)
      return ReplyError(res, 415, "send the system as text/plain");
    for (const auto& [key, value] : req.params) {
      if (key != "format" && key != "strategy" && key != "timeout")
        return ReplyError(res, 400, "unknown parameter " + key);
      if (req.get_param_value_count(key) > 1)
        return ReplyError(res, 400, "parameter " + key + " given twice");
    }
    const std::optional<FormatChoice> format =
        ParseFormatName(req.has_param("format") ? req.get_param_value("format") : "auto");
    if (!format) return ReplyError(res, 400, "format must be auto, plain, tpdb, xtc or ari");
    const std::string strategy =
        req.has_param("strategy") ? req.get_param_value("strategy") : "strong";
    if (strategy != "strong" && strategy != "classic")
      return ReplyError(res, 400, "strategy must be strong or classic");
    double limit = std::min(kDefaultRequestTimeout, options.maxTimeoutSeconds);
    if (req.has_param("timeout")) {
      const std::string text = req.get_param_value("timeout");
      const std::optional<double> given = ParseTimeLimit(text);
      if (!given) return ReplyError(res, 400, "timeout: " + TimeLimitMessage(text));
      limit = std::min(*given, options.maxTimeoutSeconds);
    }
    if (req.body.size() > options.maxInputBytes)
      return ReplyError(res, 413, "the system is larger than the server takes");

    const auto wait = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kQueueWaitSeconds));
    if (!slots.Acquire(wait)) {
      res.set_header("Retry-After", "2");
      return ReplyError(res, 503,
                        "the server is busy: " + std::to_string(options.jobs) +
                            (options.jobs == 1 ? " proof runs" : " proofs run") +
                            " already; try again in a moment");
    }
    struct Release {
      RunSlots& slots;
      ~Release() { slots.Release(); }
    } release{slots};

    const InputFormat resolved = ResolveFormat(*format, "", req.body);
    const auto start = Clock::now();
    JsonObject reply;
    int status = 200;
    if (strategy == "strong") {
      StrongRunOptions run;
      run.timeoutSeconds = limit;
      run.jobs = 1;
      run.certificate = true;
      run.stop = &stop;
      const StrongRunResult r = RunStrongText(req.body, resolved, run);
      if (!r.failure.empty()) return ReplyError(res, 500, r.failure);
      if (r.outcome == RunOutcome::InputRefused) {
        status = 422;
        reply.Text("status", "refused").Text("error", r.error.Describe());
      } else {
        reply.Text("status", cli::StatusLine(r.outcome, false))
            .Text("answer", cli::StatusLine(r.outcome, true))
            .Text("proof", JoinProof(r.lines));
        if (r.certificate.empty())
          reply.Null("certificate").Text("noCertificate", r.noCertificate);
        else
          reply.Text("certificate", r.certificate).Null("noCertificate");
        std::vector<std::string> notes = WarningNotes(r.warnings);
        notes.insert(notes.end(), r.notes.begin(), r.notes.end());
        reply.Raw("notes", JsonLines(notes)).Bool("timedOut", r.timedOut);
      }
    } else {
      RunInputs in;
      in.lines = SplitLines(req.body);
      in.format = resolved;
      in.timeoutSeconds = limit;
      in.stop = &stop;
      auto state = MakeState();
      const RunResult r = ExecuteRun(*state, in);
      const std::vector<std::string> notes = WarningNotes(r.warnings);
      if (r.outcome == RunOutcome::InputRefused || r.outcome == RunOutcome::AttemptsInvalid) {
        status = 422;
        reply.Text("status", "refused").Text("error", r.error.Describe());
      } else {
        reply.Text("status", cli::StatusLine(r.outcome, false))
            .Text("answer", cli::StatusLine(r.outcome, true))
            .Text("proof", JoinProof(r.output))
            .Null("certificate")
            .Text("noCertificate", "certificates come with the strong strategy")
            .Raw("notes", JsonLines(notes))
            .Bool("timedOut", r.timedOut);
      }
    }
    reply.Text("strategy", strategy)
        .Number("timeLimit", limit)
        .Number("seconds", std::chrono::duration<double>(Clock::now() - start).count());
    ReplyJson(res, status, reply.Done());
  }
};

WebServer::WebServer(ServerOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

WebServer::~WebServer() = default;

bool WebServer::Bind(std::string& error) {
  const ServerOptions& o = impl_->options;
  if (o.port == 0) {
    const int port = impl_->http.bind_to_any_port(o.bind);
    if (port > 0) impl_->port = port;
  } else if (impl_->http.bind_to_port(o.bind, o.port)) {
    impl_->port = o.port;
  }
  if (impl_->port == 0) {
    error = "cannot listen on " + o.bind + " port " + std::to_string(o.port) +
            " (in use, not an address of this machine, or not allowed)";
    return false;
  }
  return true;
}

int WebServer::port() const {
  return impl_->port;
}

void WebServer::Serve() {
  impl_->http.listen_after_bind();
}

bool WebServer::Listening() const {
  return impl_->http.is_running();
}

void WebServer::Stop() {
  impl_->stop.store(1);
  impl_->slots.Close();
  impl_->http.stop();
}

int RunServeCommand(const ServerOptions& options, std::ostream& out, std::ostream& err) {
  // From the start, so that a signal while binding stops cleanly too.
  const cli::StopSignals signals;
  WebServer server(options);
  std::string error;
  if (!server.Bind(error)) {
    err << "velkin serve: " << error << "\n";
    return 2;
  }
  const bool ipv6 = options.bind.find(':') != std::string::npos;
  const std::string host = ipv6 ? "[" + options.bind + "]" : options.bind;
  out << "velkin serve: listening on http://" << host << ":" << server.port() << "/ (Ctrl-C stops)"
      << std::endl;
  if (!IsLoopback(options.bind))
    err << "velkin serve: bound to " << options.bind
        << ", not to localhost: whoever reaches this machine may run proofs on it" << std::endl;

  std::atomic<bool> served{false};
  std::thread serving([&] {
    server.Serve();
    served.store(true);
  });
  while (cli::StopRequest().load() == 0 && !served.load())
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const int signal = cli::StopRequest().load();
  // Stop only takes once the server listens, and only once.
  while (!served.load() && !server.Listening())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!served.load()) server.Stop();
  serving.join();
  if (signal == 0) {
    err << "velkin serve: the server stopped listening" << std::endl;
    return 2;
  }
  out << "velkin serve: stopped by " << cli::SignalName(signal) << std::endl;
  return 0;
}

}  // namespace velkin::server
