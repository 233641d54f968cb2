// The files of the command line: reading an input, writing a result file without ever
// leaving a half-written target, and collecting the problem files of a collection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkin::cli {

// Reads a whole file ("-": standard input) into `text`. On failure returns false and
// sets `error` to the reason ("no such file or directory", "is a directory", ...).
bool ReadTextFile(const std::string& path, std::string& text, std::string& error);

// Writes the lines, each followed by CR LF, to a new temporary file in the target's
// folder and renames it over the target, so that the target is either the old file or
// the complete new one. An existing target keeps its permissions. On failure the
// temporary file is removed, the target is untouched, and `error` says why.
bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines,
                          std::string& error);

// The same for a text written as it is (a certificate).
bool WriteTextAtomically(const std::string& path, std::string_view data, std::string& error);

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
