#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace chwr::test {

TempDir::TempDir() {
  std::random_device random;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() /
            ("chwr-test-" + std::to_string(random()) + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(path_, ec)) return;
    if (ec) {
      ADD_FAILURE() << "cannot make " << path_ << ": " << ec.message();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only files and folders behind; make them removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string ReadText(const std::filesystem::path& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

void WriteText(const std::filesystem::path& path, std::string_view text) {
  WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::vector<std::string> Messages(const Diagnostics& diagnostics) {
  std::vector<std::string> texts;
  for (const Diagnostic& d : diagnostics) texts.push_back(d.message);
  return texts;
}

SongDocument Song(std::string part1, std::string part2, std::string part3, std::string part4) {
  SongDocument song;
  song.parts[0].mml = std::move(part1);
  song.parts[1].mml = std::move(part2);
  song.parts[2].mml = std::move(part3);
  song.parts[3].mml = std::move(part4);
  return song;
}

SongDocument SongOf(const std::vector<std::string>& parts, int resolution) {
  SongDocument song;
  for (std::size_t p = 0; p < parts.size() && p < song.parts.size(); ++p) {
    song.parts[p].mml = parts[p];
  }
  song.resolution = resolution;
  return song;
}

}  // namespace chwr::test
