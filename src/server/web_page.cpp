#include "server/web_page.h"

#include <cstdio>

#include "model/xml_text.h"
#include "version/version.h"

namespace velkin::server {

namespace {

// A number of seconds as the page shows it: "60", "2.5".
std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", s);
  return buf;
}

std::string Bytes(std::size_t n) {
  if (n >= (std::size_t{1} << 20) && n % (std::size_t{1} << 20) == 0)
    return std::to_string(n >> 20) + " MiB";
  if (n >= 1024 && n % 1024 == 0) return std::to_string(n >> 10) + " KiB";
  return std::to_string(n) + " bytes";
}

constexpr std::string_view kScript = R"JS('use strict';
// Sends the system to POST /prove and shows the reply. Everything from the reply goes
// into the page as text (textContent), never as markup.
(function () {
  const $ = (id) => document.getElementById(id);
  let downloads = [];

  function offer(link, text, type) {
    if (text === null || text === undefined || text === '') {
      link.hidden = true;
      link.removeAttribute('href');
      return;
    }
    const url = URL.createObjectURL(new Blob([text], {type: type}));
    downloads.push(url);
    link.href = url;
    link.hidden = false;
  }

  function show(reply, httpStatus) {
    downloads.forEach((url) => URL.revokeObjectURL(url));
    downloads = [];
    const status = $('status');
    status.className = '';
    let word = reply.status || 'error';
    if (reply.error) {
      word = (reply.status === 'refused' ? 'refused: ' : 'error: ') + reply.error;
      status.className = 'bad';
    } else {
      if (word === 'terminating' || word === 'loop found') status.className = 'good';
      if (reply.timedOut) word += ' (the time limit of ' + reply.timeLimit + ' s ran out)';
      else if (typeof reply.seconds === 'number') word += ' in ' + reply.seconds.toFixed(2) + ' s';
    }
    if (httpStatus === 503) status.className = 'busy';
    status.textContent = word;
    $('proof').textContent = reply.proof || '';
    $('proof').hidden = !reply.proof;
    const notes = (reply.notes || []).slice();
    if (reply.noCertificate && reply.proof) notes.push('no certificate: ' + reply.noCertificate);
    $('notes').textContent = notes.join('\n');
    $('notes').hidden = notes.length === 0;
    offer($('proof-link'), reply.proof, 'text/plain;charset=utf-8');
    offer($('certificate-link'), reply.certificate, 'application/xml');
    $('downloads').hidden = $('proof-link').hidden && $('certificate-link').hidden;
  }

  $('form').addEventListener('submit', async (event) => {
    event.preventDefault();
    const params = new URLSearchParams({
      format: $('format').value,
      strategy: $('strategy').value,
      timeout: $('timeout').value,
    });
    $('prove').disabled = true;
    $('status').className = 'busy';
    $('status').textContent = 'busy';
    let reply = {}, httpStatus = 0;
    try {
      const response = await fetch('/prove?' + params.toString(), {
        method: 'POST',
        headers: {'Content-Type': 'text/plain; charset=utf-8'},
        body: $('system').value,
      });
      httpStatus = response.status;
      reply = await response.json().catch(() => ({}));
      if (httpStatus === 413) reply.error = 'the system is larger than this server takes';
      if (!response.ok && !reply.error) reply.error = 'the server answered ' + response.status;
    } catch (e) {
      reply = {error: 'no answer from the server (' + e.message + ')'};
    }
    show(reply, httpStatus);
    $('prove').disabled = false;
  });
})();
)JS";

constexpr std::string_view kStyle = R"CSS(body {
  font-family: system-ui, sans-serif;
  margin: 0;
  background: #fcf3d9;
  color: #222;
}
header, main, footer { max-width: 60rem; margin: 0 auto; padding: 0 1rem; }
header { padding-top: 1rem; }
h1 { margin: 0 0 0.2rem; font-size: 1.6rem; }
header p { margin: 0 0 1rem; color: #555; }
label { font-weight: 600; }
textarea {
  display: block;
  width: 100%;
  box-sizing: border-box;
  margin: 0.3rem 0 0.6rem;
  font: 1rem ui-monospace, monospace;
}
.options { display: flex; flex-wrap: wrap; gap: 0.8rem 1.4rem; align-items: center; }
.options label { font-weight: normal; }
input[type=number] { width: 5rem; }
button { font-weight: 700; font-size: 1rem; padding: 0.3rem 1.4rem; }
#result { margin-top: 1rem; }
#status { font-weight: 700; color: #b00; }
#status.good { color: #070; }
#status.busy { color: #a60; }
#status.bad { color: #b00; }
pre {
  background: #fff;
  border: 1px solid #ccb;
  padding: 0.6rem;
  overflow: auto;
  max-height: 32rem;
  font-size: 0.85rem;
}
#notes { background: #f6f0e0; color: #555; }
#downloads a { margin-right: 1.2rem; }
.help { font-size: 0.9rem; color: #444; }
footer { font-size: 0.85rem; color: #666; padding-bottom: 1rem; }
)CSS";

}  // namespace

std::string PageHtml(const PageLimits& limits) {
  const std::string name = XmlEscape(kNameAndVersion);
  const std::string most = XmlEscape(Seconds(limits.maxTimeoutSeconds));
  const std::string deflt = XmlEscape(Seconds(limits.defaultTimeoutSeconds));
  const std::string jobs = std::to_string(limits.jobs);
  std::string page = R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)HTML" + name +
                     R"HTML(</title>
<link rel="stylesheet" href="/style.css">
</head>
<body>
<header>
<h1>)HTML" + name + R"HTML(</h1>
<p>Termination of a string rewriting system R, or relative termination of R/S, or a looping derivation.</p>
</header>
<main>
<form id="form">
<label for="system">System</label>
<textarea id="system" rows="7" spellcheck="false" autocomplete="off" placeholder="ab -&gt; ba"></textarea>
<div class="options">
<label>Format
<select id="format">
<option value="auto" selected>auto</option>
<option value="plain">plain</option>
<option value="tpdb">tpdb</option>
<option value="xtc">XTC (XML)</option>
<option value="ari">ARI</option>
</select></label>
<label>Strategy
<select id="strategy">
<option value="strong" selected>strong</option>
<option value="classic">classic</option>
</select></label>
<label>Time limit
<input id="timeout" type="number" min="0.1" max=")HTML" +
                     most + R"HTML(" step="any" value=")HTML" + deflt + R"HTML("> s</label>
<button id="prove" type="submit">Prove</button>
</div>
</form>
<p class="help">Plain format: one rule per line, <code>ab -&gt; ba</code> for a rule of R,
<code>ab -&gt;= ba</code> for a rule of S; every character is a symbol, <code>e</code> the empty
word. Tpdb: <code>(RULES a b -&gt; b a)</code>. The strong strategy races several techniques and
re-checks every step; the classic one prints the window's proof text.</p>
<section id="result">
<p>Status: <output id="status">no run yet</output></p>
<p id="downloads" hidden><a id="proof-link" download="proof.txt" hidden>Download the proof</a>
<a id="certificate-link" download="certificate.cpf" hidden>Download the certificate (CPF)</a></p>
<pre id="proof" hidden></pre>
<pre id="notes" hidden></pre>
</section>
</main>
<footer>This server takes systems of up to )HTML" +
                     XmlEscape(Bytes(limits.maxInputBytes)) + " and time limits of up to " + most +
                     " s, and runs " + jobs + (limits.jobs == 1 ? " proof" : " proofs") +
                     R"HTML( at once.</footer>
<script src="/app.js"></script>
</body>
</html>
)HTML";
  return page;
}

std::string_view PageScript() {
  return kScript;
}

std::string_view PageStyle() {
  return kStyle;
}

}  // namespace velkin::server
