// Writing text files, shared by every front end: lines joined with CR LF, and a writer
// that never leaves a half-written file behind.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkin {

// Where the line breaks go when lines are written.
enum class LineEnds {
  Between,   // lines separated by CR LF (an input text: n lines, n-1 breaks)
  AfterEach  // every line followed by CR LF (the proof text)
};

// The bytes written for `lines`. Splitting them again (SplitLines) gives back the
// lines for Between; for AfterEach it gives them and one empty line after.
std::string JoinLines(const std::vector<std::string>& lines, LineEnds ends);

// Writes `bytes` to `path` as a user expects of a save:
// - a regular file (or none yet) is replaced atomically: the text goes to a new
//   temporary file in the same folder, which is synced and renamed over the target, so
//   that the target is the old file or the complete new one; an existing target keeps
//   its permissions;
// - a symbolic link is followed (to its final target, which is then written as above),
//   so the link stays a link;
// - a target that exists and is no regular file (a FIFO, a device) is written in
//   place, since it cannot be replaced;
// - a folder is refused.
// On failure returns false, removes any temporary file, leaves the target as it was
// (as far as an in-place write allows) and sets `error` to the reason.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

}  // namespace velkin
