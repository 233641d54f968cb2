// The files of the command line: reading an input and collecting the problem files of a
// collection. Result files are written by the model's WriteFileAtomically.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velkin::cli {

// The largest input that the command line reads: 64 MiB, far above any problem file.
// Reading stops there, so an endless input (/dev/zero, a stream) is refused instead of
// filling the memory.
inline constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

// Reads a whole file ("-": standard input) into `text`, at most `limit` bytes. On
// failure returns false and sets `error` to the reason ("no such file or directory",
// "is a directory", "larger than 64 MiB", ...).
bool ReadTextFile(const std::string& path, std::string& text, std::string& error,
                  std::size_t limit = kMaxInputBytes);

// True for the names that a collection walk picks up: *.srs, *.xml and *.ari (the
// extension in any case).
bool IsProblemFileName(std::string_view name);

// The problem files under the given paths: a file is taken whatever its name, a folder
// is walked recursively for problem file names. The list is sorted (byte order) and
// free of duplicates. Paths that do not exist or cannot be walked are listed in
// `errors`, one message each.
struct FileList {
  std::vector<std::string> files;
  std::vector<std::string> errors;
};
FileList CollectProblemFiles(const std::vector<std::string>& paths);

}  // namespace velkin::cli
