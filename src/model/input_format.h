// The input formats that the readers know, their names, and the automatic choice that
// every front end (command line, window, strong engine) shares.
#pragma once

#include <optional>
#include <string_view>

namespace velkin {

enum class InputFormat { Plain, Tpdb, Xtc, Ari };

// The text without the UTF-8 byte order mark at its start, if it has one. Every reader
// and the format detection skip it, so that it never becomes a symbol.
std::string_view WithoutByteOrderMark(std::string_view text);

// The format choices of a front end; Auto picks by file name and text (DetectFormat).
enum class FormatChoice { Auto, Plain, Tpdb, Xtc, Ari };

// "auto", "plain", "tpdb", "xtc" or "ari"; nothing for any other text.
std::optional<FormatChoice> ParseFormatName(std::string_view name);

// The automatic choice: XTC for a name ending in .xml or a text that begins with
// "<?xml", "<!--" or "<problem"; ARI for .ari or a text that begins with "(format"
// (after blanks and ';' comment lines); tpdb when the text's first non-blank character
// is '(' and it contains RULES; plain otherwise. Extensions are compared without regard
// to case; a byte order mark at the start is skipped.
InputFormat DetectFormat(std::string_view path, std::string_view text);

// The format a run uses: the choice itself, or the detected one for Auto.
InputFormat ResolveFormat(FormatChoice choice, std::string_view path, std::string_view text);

}  // namespace velkin
