// The window's text files: the input (".srs") and the proof text (".res"). Lines are
// kept as UTF-8 bytes exactly as they stand in the file or the text area.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkin {

// The largest file that the input area takes; a larger one is refused.
inline constexpr std::int64_t kInputAreaCapacity = 4 * 1024 * 1024;

// The message for a file larger than the input area takes.
inline constexpr const char* kTextExceedsCapacity = "Text exceeds memo capacity";

// Where the line breaks go when a text is written.
enum class LineEnds {
  Between,   // lines separated by CR LF (the input text: n lines, n-1 breaks)
  AfterEach  // every line followed by CR LF (the proof text)
};

// Splits bytes at CR LF, a lone CR and a lone LF. n breaks give n+1 lines, so that
// joining the lines with one break each gives back the text with its breaks unified.
std::vector<std::string> SplitAtLineBreaks(std::string_view bytes);

// The bytes written for `lines`.
std::string JoinLines(const std::vector<std::string>& lines, LineEnds ends);

// The outcome of a file command: ok, or the message to show.
struct FileResult {
  bool ok = true;
  QString message;
};

// Writes the lines to `path` without ever leaving a half-written file there: the text
// goes to a temporary file in the same folder, which then replaces the target. On
// failure the target is untouched and the message names the file and the reason.
FileResult SaveLines(const QString& path, const std::vector<std::string>& lines, LineEnds ends);

// Reads the file at `path` as lines (SplitAtLineBreaks). A file that cannot be opened
// or read, or that is larger than kInputAreaCapacity, is refused with its message;
// `lines` is then empty.
FileResult LoadLines(const QString& path, std::vector<std::string>& lines);

}  // namespace velkin
