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

bool ReadAll(std::FILE* f, std::string& text) {
  char buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return std::ferror(f) == 0;
}

// Writes all of `data` to `fd`, going on after partial writes and interrupts.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, std::string& error) {
  text.clear();
  if (path == "-") {
    if (!ReadAll(stdin, text)) {
      error = std::string("cannot read standard input: ") + std::strerror(errno);
      return false;
    }
    return true;
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
  const bool ok = ReadAll(f, text);
  const int readErrno = errno;
  std::fclose(f);
  if (!ok) {
    error = std::string("cannot read: ") + std::strerror(readErrno);
    return false;
  }
  return true;
}

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines,
                          std::string& error) {
  std::string data;
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }
  return WriteTextAtomically(path, data, error);
}

bool WriteTextAtomically(const std::string& path, std::string_view data, std::string& error) {
  const fs::path target(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    error = "cannot create a temporary file in " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  // The permissions of the file it replaces, or the usual ones for a new file.
  struct stat old {};
  mode_t mode;
  if (::stat(path.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  const int writeErrno = errno;
  if (::close(fd) != 0 || !ok) {
    error = "cannot write " + tmpl + ": " + std::strerror(ok ? errno : writeErrno);
    ::unlink(tmpl.c_str());
    return false;
  }
  if (std::rename(tmpl.c_str(), path.c_str()) != 0) {
    error = std::string("cannot replace the file: ") + std::strerror(errno);
    ::unlink(tmpl.c_str());
    return false;
  }
  return true;
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
