#include "cli/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace velkin::cli {

namespace fs = std::filesystem;

namespace {

// Reads `f` to its end into `text`, or until it holds more than `limit` bytes (then
// `tooLarge` is set and reading stops).
bool ReadAll(std::FILE* f, std::string& text, std::size_t limit, bool& tooLarge) {
  char buf[65536];
  std::size_t n;
  tooLarge = false;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    text.append(buf, n);
    if (text.size() > limit) {
      tooLarge = true;
      return true;
    }
  }
  return std::ferror(f) == 0;
}

std::string SizeText(std::size_t bytes) {
  if (bytes % (std::size_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, std::string& error,
                  std::size_t limit) {
  text.clear();
  bool tooLarge = false;
  const auto refuseLarge = [&] {
    text.clear();
    error = "the input is larger than " + SizeText(limit) + ", more than a problem file holds";
    return false;
  };
  if (path == "-") {
    if (!ReadAll(stdin, text, limit, tooLarge)) {
      error = std::string("cannot read standard input: ") + std::strerror(errno);
      return false;
    }
    return tooLarge ? refuseLarge() : true;
  }
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = "is a directory, not a problem file";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  const bool ok = ReadAll(f, text, limit, tooLarge);
  const int readErrno = errno;
  std::fclose(f);
  if (!ok) {
    error = std::string("cannot read: ") + std::strerror(readErrno);
    return false;
  }
  return tooLarge ? refuseLarge() : true;
}

bool IsProblemFileName(std::string_view name) {
  if (name.size() < 4) return false;
  std::string ext(name.substr(name.size() - 4));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext == ".srs" || ext == ".xml" || ext == ".ari";
}

FileList CollectProblemFiles(const std::vector<std::string>& paths) {
  FileList out;
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
      out.errors.push_back(path + ": no such file or directory");
      continue;
    }
    if (!fs::is_directory(status)) {
      out.files.push_back(path);
      continue;
    }
    fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
    const fs::recursive_directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
      std::error_code fileEc;
      if (it->is_regular_file(fileEc) && IsProblemFileName(it->path().filename().string()))
        out.files.push_back(it->path().string());
    }
    if (ec) out.errors.push_back(path + ": cannot walk the folder: " + ec.message());
  }
  std::sort(out.files.begin(), out.files.end());
  out.files.erase(std::unique(out.files.begin(), out.files.end()), out.files.end());
  return out;
}

}  // namespace velkin::cli
