// Small pieces of the command line that need no process: format names and detection,
// shard selection, the wording of statuses and refusal reasons, CSV and JSON text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "prover/run.h"

namespace velkin::cli {

// The --format choices; Auto picks by file name and text (DetectFormat).
enum class FormatChoice { Auto, Plain, Tpdb, Xtc, Ari };

// "auto", "plain", "tpdb", "xtc" or "ari"; nothing for any other text.
std::optional<FormatChoice> ParseFormatName(std::string_view name);

// The automatic choice: XTC for a name ending in .xml, ARI for .ari or a text that
// begins with "(format" (after blanks and ';' comment lines), tpdb when the text's first
// non-blank character is '(' and it contains RULES, plain otherwise. Extensions are
// compared without regard to case.
InputFormat DetectFormat(std::string_view path, std::string_view text);

// The format a run uses: the choice itself, or the detected one for Auto.
InputFormat ResolveFormat(FormatChoice choice, std::string_view path, std::string_view text);

// One part of a collection split over N machines: problems I, I+N, I+2N, ... of the
// sorted list (1-based), for 1 <= I <= N.
struct Shard {
  int index = 1;
  int count = 1;
};

// Reads "I/N" with decimal I and N, 1 <= I <= N <= 1000000. On failure returns nothing
// and sets `error` to the reason.
std::optional<Shard> ParseShard(std::string_view text, std::string& error);

// The items of `sorted` that belong to the shard, in their order.
std::vector<std::string> SelectShard(const std::vector<std::string>& sorted, const Shard& shard);

// The first line of the command's output: the status text without its surrounding
// blanks, or YES / NO / MAYBE in the termination competition's convention.
std::string StatusLine(RunOutcome outcome, bool termcomp);

// A refusal message without the rule number that starts it ("rule 12: left-hand side
// has more than 19 symbols" -> "left-hand side has more than 19 symbols"), so that
// refusals of the same kind count together.
std::string RefusalReason(std::string_view message);

// One CSV field: quoted (with doubled quotes) when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// A JSON string literal, quotes included. Well-formed UTF-8 passes through; control
// characters are escaped; a byte that is not part of well-formed UTF-8 becomes the
// code point of the same value (\u00XX), so the result is always valid JSON.
std::string JsonString(std::string_view text);

// A duration in milliseconds with one decimal ("12.3").
std::string FormatMilliseconds(double ms);

}  // namespace velkin::cli
