#include "settings/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "io/file_io.h"
#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

bool HasMatchingQuotes(std::string_view s) {
  return s.size() >= 2 && IsQuote(s.front()) && s.back() == s.front();
}

// Cuts after `count` characters, never inside a UTF-8 sequence.
std::string_view CutToCharacters(std::string_view s, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    bool startsCharacter = (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    if (startsCharacter && seen++ == count) return s.substr(0, i);
  }
  return s;
}

// A line break inside a value would end its line early and turn the rest into a line of its
// own, which may read as another key or even a section. A blank keeps the words apart and
// the file whole; nothing the program stores (paths, font names, numbers) needs a line break.
std::string WithoutLineBreaks(std::string_view s) {
  std::string out(s);
  std::ranges::replace(out, '\r', ' ');
  std::ranges::replace(out, '\n', ' ');
  return out;
}

// Readers trim blanks and strip one pair of matching quotes, so a value that would lose
// something to either gets a pair of double quotes of its own.
std::string QuotedIfNeeded(std::string value) {
  if (value.empty()) return value;
  if (IsBlank(value.front()) || IsBlank(value.back()) || HasMatchingQuotes(value)) {
    return '"' + value + '"';
  }
  return value;
}

bool IsValidUtf8(std::string_view s) {
  return Utf32ToUtf8(Utf8ToUtf32(s)) == s;
}

}  // namespace

IniFile::Line IniFile::ParseLine(std::string text) {
  Line line;
  std::string_view t = Trim(text);
  if (t.empty() || t.front() == ';') {
    // blank or comment
  } else if (t.front() == '[') {
    std::size_t close = t.rfind(']');
    if (close != std::string_view::npos) {
      line.kind = LineKind::Section;
      line.name = Trim(t.substr(1, close - 1));
    }
  } else if (std::size_t eq = t.find('='); eq != std::string_view::npos) {
    line.kind = LineKind::Key;
    line.name = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
  }
  line.text = std::move(text);
  return line;
}

IniFile IniFile::Parse(std::string_view utf8Text) {
  IniFile ini;
  if (utf8Text.starts_with(kUtf8Bom)) utf8Text.remove_prefix(kUtf8Bom.size());
  // CR LF, LF and a lone CR all end a line; the file is written back with CR LF throughout.
  while (!utf8Text.empty()) {
    std::size_t end = utf8Text.find_first_of("\r\n");
    ini.lines_.push_back(ParseLine(std::string(utf8Text.substr(0, end))));
    if (end == std::string_view::npos) break;
    std::size_t next = end + 1;
    if (utf8Text[end] == '\r' && next < utf8Text.size() && utf8Text[next] == '\n') ++next;
    utf8Text.remove_prefix(next);
  }
  return ini;
}

std::size_t IniFile::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::Section && EqualsIgnoringAsciiCase(lines_[i].name, section)) {
      return i;
    }
  }
  return lines_.size();
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != LineKind::Section) ++i;
  return i;
}

// Only the first section of a name counts, as with the Windows profile functions: a key
// in a repeated section is neither read nor rewritten.
std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
  section = Trim(section);
  key = Trim(key);
  std::size_t header = FindSection(section);
  if (header == lines_.size()) return std::nullopt;
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::Key || !EqualsIgnoringAsciiCase(line.name, key)) continue;
    std::string_view value = line.value;
    if (HasMatchingQuotes(value)) value = value.substr(1, value.size() - 2);
    return std::string(CutToCharacters(value, kMaxValueLength));
  }
  return std::nullopt;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string sectionName = WithoutLineBreaks(Trim(section));
  const std::string keyName = WithoutLineBreaks(Trim(key));
  const std::string stored = QuotedIfNeeded(WithoutLineBreaks(value));

  std::size_t header = FindSection(sectionName);
  if (header == lines_.size()) {
    lines_.push_back(ParseLine("[" + sectionName + "]"));
    lines_.push_back(ParseLine(keyName + "=" + stored));
    return;
  }
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    Line& line = lines_[i];
    if (line.kind == LineKind::Key && EqualsIgnoringAsciiCase(line.name, keyName)) {
      // Keep the spelling the file already uses for the key.
      line = ParseLine(line.name + "=" + stored);
      return;
    }
  }
  // Blank lines that part this section from the next stay after the new key.
  std::size_t at = end;
  while (at > header + 1 && Trim(lines_[at - 1].text).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                ParseLine(keyName + "=" + stored));
}

std::string IniFile::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += "\r\n";
  }
  return out;
}

Result<IniFile> LoadIniFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::status(path, ec).type() == std::filesystem::file_type::not_found) {
    return IniFile{};
  }
  auto bytes = ReadFileBytes(path);
  if (!bytes) return std::unexpected(bytes.error());
  std::string_view raw(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  if (raw.starts_with(kUtf8Bom)) return IniFile::Parse(raw);
  DecodedText decoded = DecodeCp932(*bytes);
  // A file edited by hand in a UTF-8 editor would otherwise turn into replacement
  // characters here and be lost on the next save.
  if (decoded.invalidCount > 0 && IsValidUtf8(raw)) return IniFile::Parse(raw);
  return IniFile::Parse(decoded.utf8);
}

Result<void> SaveIniFile(const std::filesystem::path& path, const IniFile& ini) {
  std::error_code ec;
  if (std::filesystem::path parent = path.parent_path(); !parent.empty()) {
    std::filesystem::create_directories(parent, ec);
    if (ec) return FileFailure(msg::kFileWriteFailed, parent, ec.value());
  }
  const std::string text = ini.Serialize();
  // Some characters have one-way mappings into code page 932 (U+301C WAVE DASH reads back as
  // U+FF5E), so only text that survives the round trip is written that way; a folder name
  // that changed on the way back would no longer name the folder.
  if (auto cp932 = EncodeCp932(text); cp932 && DecodeCp932(*cp932).utf8 == text) {
    return WriteFileAtomic(path, *cp932);
  }
  std::string utf8(kUtf8Bom);
  utf8 += text;
  return WriteFileAtomic(
      path, std::span(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size()));
}

}  // namespace chwr
