#include "cli/cli_support.h"

#include <cstdio>

#include "model/readers.h"

namespace velkin::cli {

namespace {

// Reads a decimal number of at most 7 digits; nothing for anything else.
std::optional<int> SmallNumber(std::string_view s) {
  if (s.empty() || s.size() > 7) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

}  // namespace

std::optional<Shard> ParseShard(std::string_view text, std::string& error) {
  const std::size_t slash = text.find('/');
  const std::optional<int> i =
      slash == std::string_view::npos ? std::nullopt : SmallNumber(text.substr(0, slash));
  const std::optional<int> n =
      slash == std::string_view::npos ? std::nullopt : SmallNumber(text.substr(slash + 1));
  if (!i || !n || *n > 1000000) {
    error = "'" + std::string(text) + "' is not of the form I/N (for example 2/8)";
    return std::nullopt;
  }
  if (*n < 1 || *i < 1 || *i > *n) {
    error = "'" + std::string(text) + "': I/N needs 1 <= I <= N";
    return std::nullopt;
  }
  return Shard{*i, *n};
}

std::vector<std::string> SelectShard(const std::vector<std::string>& sorted, const Shard& shard) {
  std::vector<std::string> out;
  for (std::size_t k = static_cast<std::size_t>(shard.index - 1); k < sorted.size();
       k += static_cast<std::size_t>(shard.count))
    out.push_back(sorted[k]);
  return out;
}

std::string StatusLine(RunOutcome outcome, bool termcomp) {
  switch (outcome) {
    case RunOutcome::Terminating:
      return termcomp ? "YES" : "terminating";
    case RunOutcome::LoopFound:
      return termcomp ? "NO" : "loop found";
    case RunOutcome::NoProof:
      return termcomp ? "MAYBE" : "no proof";
    case RunOutcome::InputRefused:
      return "refused";
    case RunOutcome::AttemptsInvalid:
      return "busy";
  }
  return "";
}

std::string RefusalReason(std::string_view message) {
  if (message.rfind("rule ", 0) == 0) {
    std::size_t i = 5;
    while (i < message.size() && message[i] >= '0' && message[i] <= '9') ++i;
    if (i > 5 && message.substr(i).rfind(": ", 0) == 0) message.remove_prefix(i + 2);
  }
  return std::string(message);
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  char buf[8];
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
      ++i;
    } else if (c == '\n') {
      out += "\\n";
      ++i;
    } else if (c == '\r') {
      out += "\\r";
      ++i;
    } else if (c == '\t') {
      out += "\\t";
      ++i;
    } else if (b < 0x20 || b == 0x7F) {
      std::snprintf(buf, sizeof buf, "\\u%04x", b);
      out += buf;
      ++i;
    } else if (const int n = CodePointLength(text, i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      std::snprintf(buf, sizeof buf, "\\u%04x", b);
      out += buf;
      ++i;
    }
  }
  out += '"';
  return out;
}

std::string FormatMilliseconds(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", ms < 0 ? 0.0 : ms);
  return buf;
}

}  // namespace velkin::cli
