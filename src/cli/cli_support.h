// Small pieces of the command line that need no process: format names and detection,
// shard selection, the wording of statuses and refusal reasons, CSV and JSON text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/input_format.h"
#include "prover/run.h"

namespace velkin::cli {

// Format names and detection live beside the readers; the command line uses them as
// they are.
using velkin::DetectFormat;
using velkin::FormatChoice;
using velkin::ParseFormatName;
using velkin::ResolveFormat;

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
