// The web server's one page, its script and its style sheet: fixed texts, filled in only
// with the server's own limits (never with anything from a request).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkin::server {

// What the page tells its reader about the server it comes from.
struct PageLimits {
  std::size_t maxInputBytes = 0;
  double maxTimeoutSeconds = 0;
  double defaultTimeoutSeconds = 0;
  int jobs = 0;
};

// The page (HTML5). It loads /app.js and /style.css and sends the system to POST /prove.
std::string PageHtml(const PageLimits& limits);

// The page's script: sends the form, shows the reply as text, offers the downloads.
std::string_view PageScript();

// The page's style sheet.
std::string_view PageStyle();

}  // namespace velkin::server
