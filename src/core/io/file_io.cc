#include "io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>

#include "messages.h"

namespace chwr {

Result<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Fail(msg::kFileReadFailed);
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(msg::kFileReadFailed);
  std::vector<std::uint8_t> bytes;
  char buffer[65536];
  while (in) {
    in.read(buffer, sizeof buffer);
    bytes.insert(bytes.end(), buffer, buffer + in.gcount());
  }
  if (in.bad()) return Fail(msg::kFileReadFailed);
  return bytes;
}

namespace {

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

}  // namespace

Result<void> WriteFileAtomic(const std::filesystem::path& path,
                             std::span<const std::uint8_t> bytes) {
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return Fail(msg::kFileWriteFailed);
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
  if (fd < 0) return Fail(msg::kFileWriteFailed);

  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) {
    // Keep the permissions of the file being replaced.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) ::chmod(temp.c_str(), old.st_mode & 07777);
    ok = ::rename(temp.c_str(), path.c_str()) == 0;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return Fail(msg::kFileWriteFailed);
  }
  return {};
}

}  // namespace chwr
