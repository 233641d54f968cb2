#include "model/text_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace velkin {

namespace fs = std::filesystem;

std::string JoinLines(const std::vector<std::string>& lines, LineEnds ends) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (ends == LineEnds::Between && i > 0) out += "\r\n";
    out += lines[i];
    if (ends == LineEnds::AfterEach) out += "\r\n";
  }
  return out;
}

namespace {

// Writes all of `data` to `fd`, going on after partial writes and interrupts. A write
// that makes no progress counts as a full disk.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string Reason(const std::string& what, int code) {
  return what + ": " + std::strerror(code);
}

// The file that `path` names after following symbolic links (at most 40, as the
// system does); a dangling link gives the file it would create.
bool FollowLinks(const std::string& path, fs::path& out, std::string& error) {
  fs::path p(path);
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      out = p;
      return true;
    }
    std::error_code ec;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) {
      error = "cannot follow the symbolic link " + p.string() + ": " + ec.message();
      return false;
    }
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  error = Reason("cannot follow the symbolic link", ELOOP);
  return false;
}

// Writes into an existing file that is no regular file, without creating or replacing.
bool WriteInPlace(const fs::path& target, std::string_view bytes, std::string& error) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    error = Reason("cannot open", errno);
    return false;
  }
  const bool ok = WriteAll(fd, bytes);
  const int code = errno;
  if (::close(fd) != 0 && ok) {
    error = Reason("cannot write", errno);
    return false;
  }
  if (!ok) error = Reason("cannot write", code);
  return ok;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  fs::path target;
  if (!FollowLinks(path, target, error)) return false;
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) {
    error = "is a folder, not a file";
    return false;
  }
  if (exists && !S_ISREG(old.st_mode)) return WriteInPlace(target, bytes, error);

  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) {
    error = Reason("cannot create a temporary file in " + folder.string(), errno);
    return false;
  }
  // The permissions of the file it replaces, or the usual ones for a new file.
  mode_t mode;
  if (exists) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const int writeErrno = errno;
  if (::close(fd) != 0 || !ok) {
    error = Reason("cannot write " + tmpl, ok ? errno : writeErrno);
    ::unlink(tmpl.c_str());
    return false;
  }
  if (std::rename(tmpl.c_str(), target.c_str()) != 0) {
    error = Reason("cannot replace the file", errno);
    ::unlink(tmpl.c_str());
    return false;
  }
  return true;
}

}  // namespace velkin
