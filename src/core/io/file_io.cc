#include "io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "messages.h"

namespace chwr {
namespace {

// The system's reason in the program's words where we know them, else its own text.
std::string Reason(int error) {
  switch (error) {
    case ENOENT:
      return msg::kReasonNotFound;
    case EACCES:
    case EPERM:
      return msg::kReasonAccessDenied;
    case EROFS:
      return msg::kReasonReadOnly;
    case ENOSPC:
    case EDQUOT:
      return msg::kReasonDiskFull;
    case EISDIR:
      return msg::kReasonIsFolder;
    case ENAMETOOLONG:
      return msg::kReasonNameTooLong;
    default:
      return std::strerror(error);
  }
}

// Writes everything or reports failure; retries on interrupted and short writes.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Where a write to `path` really goes: through every symbolic link to the file it names,
// so the link stays a link.
std::filesystem::path ThroughLinks(std::filesystem::path path) {
  std::error_code ec;
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, ec); ++hops) {
    const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
    if (ec) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

}  // namespace

std::unexpected<Diagnostic> FileFailure(const char* message, const std::filesystem::path& path,
                                        int error) {
  Diagnostic d;
  d.message = message;
  d.code = DiagnosticCode::kFileAccess;
  d.detail = path.string() + "\n" + Reason(error);
  return std::unexpected(std::move(d));
}

Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return FileFailure(msg::kFileReadFailed, path, ENOENT);
  if (std::filesystem::is_directory(path, ec)) {
    return FileFailure(msg::kFileReadFailed, path, EISDIR);
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileFailure(msg::kFileReadFailed, path, errno ? errno : EACCES);
  std::vector<std::uint8_t> bytes;
  // Room for the whole file at once: growing by doubling touched twice its size in pages.
  if (const auto size = std::filesystem::file_size(path, ec); !ec) bytes.reserve(size);
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    // As bytes, so that the insert is one copy rather than a conversion of each char.
    const auto* read = reinterpret_cast<const std::uint8_t*>(buffer);
    bytes.insert(bytes.end(), read, read + in.gcount());
  }
  if (in.bad()) return FileFailure(msg::kFileReadFailed, path, errno ? errno : EIO);
  return bytes;
}

Result<void> WriteFileAtomic(const std::filesystem::path& requested,
                             std::span<const std::uint8_t> bytes) {
  if (requested.empty()) return FileFailure(msg::kFileWriteFailed, requested, ENOENT);
  const std::filesystem::path path = ThroughLinks(requested);
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    return FileFailure(msg::kFileWriteFailed, requested, EISDIR);
  }
  // A file the user protected is not replaced, though its folder would allow it. A file
  // without any write permission counts as protected even for the superuser.
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && (::access(path.c_str(), W_OK) != 0 || (old.st_mode & 0222) == 0)) {
    return FileFailure(msg::kFileWriteFailed, requested, EACCES);
  }
  std::filesystem::path dir = path.parent_path();
  if (dir.empty()) dir = ".";

  // A name of our own in the same folder, so the final rename stays on one file system.
  std::random_device rd;
  std::filesystem::path temp;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = dir / ("." + path.filename().string() + ".chwr-" + std::to_string(rd()) + ".tmp");
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return FileFailure(msg::kFileWriteFailed, requested, errno);

  int error = 0;
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (!ok) error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok) {
    // Keep the permissions of the file being replaced.
    if (exists) ::chmod(temp.c_str(), old.st_mode & 07777);
    ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return FileFailure(msg::kFileWriteFailed, requested, error);
  }
  return {};
}

}  // namespace chwr
