// The settings file is text anyone may edit: reading it never fails, writing the settings
// back changes nothing that was read, and a key that is set reads back as it was set, from
// memory and from the file on disk alike.
//
// Input layout (FuzzedDataProvider): the file's bytes, then a section name, a key name and
// a value for one Set; a plain settings file as input is all file.

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "text/cp932.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A folder of our own on a memory file system when there is one: every input is written
// and read back, and the atomic write syncs each file.
const std::filesystem::path& WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern =
        std::filesystem::is_directory("/dev/shm")
            ? "/dev/shm/chwr-fuzz-ini-XXXXXX"
            : (std::filesystem::temp_directory_path() / "chwr-fuzz-ini-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(WorkFolder(), ec);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

void WriteRaw(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// What Get promises to return for a value given to Set.
std::string ExpectedValue(std::string_view value) {
  std::string out(value);
  for (char& c : out) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  std::size_t characters = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool starts = (static_cast<unsigned char>(out[i]) & 0xC0) != 0x80;
    if (starts && characters++ == chwr::IniFile::kMaxValueLength) return out.substr(0, i);
  }
  return out;
}

// Names Set documents as readable: no line break, no "=" in a key, no key that reads as
// a comment or a section.
bool UsableNames(std::string_view section, std::string_view key) {
  if (section.find_first_of("\r\n") != std::string_view::npos) return false;
  if (key.find_first_of("\r\n=") != std::string_view::npos) return false;
  const std::string_view k = Trim(key);
  return !k.starts_with(';') && !k.starts_with('[');
}

void CheckInMemory(std::string_view text, std::string_view section, std::string_view key,
                   std::string_view value) {
  chwr::IniFile ini = chwr::IniFile::Parse(text);
  const std::string serialized = ini.Serialize();
  // A byte-order mark that opens the text is taken off as the file's own, so only text
  // that does not start with one reads back line for line.
  const bool reparsable = !serialized.starts_with(kBom);
  if (reparsable) FUZZ_CHECK(chwr::IniFile::Parse(serialized).Serialize() == serialized);

  const chwr::Settings settings = chwr::ReadSettings(ini);
  chwr::IniFile written = ini;
  chwr::WriteSettings(written, settings);
  chwr::WriteTransferSettings(written, settings.transferPaths.exe, settings.transferPaths.file);
  FUZZ_CHECK(chwr::ReadSettings(written) == settings);
  if (!written.Serialize().starts_with(kBom)) {
    FUZZ_CHECK(chwr::ReadSettings(chwr::IniFile::Parse(written.Serialize())) == settings);
  }

  if (!UsableNames(section, key)) return;
  chwr::IniFile set = ini;
  set.Set(section, key, value);
  const std::string expected = ExpectedValue(value);
  FUZZ_CHECK(set.Get(section, key) == expected);
  if (!set.Serialize().starts_with(kBom)) {
    FUZZ_CHECK(chwr::IniFile::Parse(set.Serialize()).Get(section, key) == expected);
  }
}

void CheckOnDisk(std::string_view bytes) {
  const std::filesystem::path in = WorkFolder() / "in.ini";
  const std::filesystem::path out = WorkFolder() / "out.ini";
  WriteRaw(in, bytes);
  const auto loaded = chwr::LoadIniFile(in);
  FUZZ_CHECK(loaded.has_value());
  const chwr::Settings settings = chwr::ReadSettings(*loaded);
  FUZZ_CHECK(chwr::LoadSettings(in) == settings);

  // Whatever encoding the save picks, the text comes back the same.
  FUZZ_CHECK(chwr::SaveIniFile(out, *loaded).has_value());
  const auto reloaded = chwr::LoadIniFile(out);
  FUZZ_CHECK(reloaded.has_value() && reloaded->Serialize() == loaded->Serialize());

  FUZZ_CHECK(chwr::SaveSettings(in, settings).has_value());
  FUZZ_CHECK(chwr::LoadSettings(in) == settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string bytes = input.ConsumeRandomLengthString();
  const std::string section = input.ConsumeRandomLengthString(64);
  const std::string key = input.ConsumeRandomLengthString(64);
  const std::string value = input.ConsumeRandomLengthString();

  // The file's text as the loader sees it: code page 932 unless marked as UTF-8.
  const auto raw = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  const std::string text = bytes.starts_with(kBom) ? bytes : chwr::DecodeCp932(raw).utf8;
  CheckInMemory(text, section, key, value);
  CheckInMemory(bytes, section, key, value);
  CheckOnDisk(bytes);
  return 0;
}
