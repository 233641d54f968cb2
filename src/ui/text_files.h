// The window's text files: the input (".srs") and the proof text (".res"). Lines are
// kept as UTF-8 bytes exactly as they stand in the file or the text area. Splitting,
// joining and the atomic write are the model's, shared with the command line, so that
// one file reads the same in both.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/readers.h"
#include "model/text_output.h"

namespace velkin {

// The largest file that the input area takes; a larger one is refused.
inline constexpr std::int64_t kInputAreaCapacity = 4 * 1024 * 1024;

// The message for a file larger than the input area takes.
inline constexpr const char* kTextExceedsCapacity = "Text exceeds memo capacity";

// The outcome of a file command: ok, or the message to show.
struct FileResult {
  bool ok = true;
  QString message;
};

// Writes the lines to `path` with WriteFileAtomically: never a half-written file, links
// followed, devices written in place. On failure the target is untouched and the
// message names the file and the reason.
FileResult SaveLines(const QString& path, const std::vector<std::string>& lines, LineEnds ends);

// Reads the file at `path` as lines (SplitLines). A file that cannot be opened or read,
// or that is larger than kInputAreaCapacity, is refused with its message; `lines` is
// then empty.
FileResult LoadLines(const QString& path, std::vector<std::string>& lines);

}  // namespace velkin
