#pragma once
// What several test files need alike: a scratch folder, whole-file reads and writes,
// byte literals, and a song made of four MML texts.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "song/song_document.h"

namespace chwr::test {

using Bytes = std::vector<std::uint8_t>;

/// A fresh empty folder under the system's temporary folder, removed with everything
/// in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  /// A path inside the folder.
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// A whole file's bytes; empty when it cannot be read.
Bytes ReadBytes(const std::filesystem::path& path);
/// A whole file as text; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& path);
/// Writes `bytes` to `path`, replacing it; fails the test when it cannot.
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
void WriteText(const std::filesystem::path& path, std::string_view text);

/// The bytes of an ASCII text.
inline Bytes Ascii(std::string_view text) {
  return Bytes(text.begin(), text.end());
}
/// Byte runs one after another.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

/// The texts of diagnostics, for comparing with a list of expected messages.
std::vector<std::string> Messages(const Diagnostics& diagnostics);

/// A new song (the editor's defaults) with these MML texts in parts 1 to 4.
SongDocument Song(std::string part1, std::string part2 = "", std::string part3 = "",
                  std::string part4 = "");
/// A new song with `parts` as its first parts' MML, at a resolution of 24 (0) or 48 (1).
SongDocument SongOf(const std::vector<std::string>& parts, int resolution = 1);

}  // namespace chwr::test
