#include "song/song_file.h"

#include <algorithm>

#include <charconv>
#include <optional>
#include <string_view>

#include "io/file_io.h"
#include "messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

constexpr std::string_view kMagic = "qrv";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEmptyTempoLine = "@120";
constexpr int kFullLineCount = 18;
// Files of the three-part era stop after the resolution line.
constexpr int kThreePartLineCount = 15;

// A garbage line can be arbitrarily long; the warning only needs enough to recognise it.
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kMaxShown = 32;
  std::u32string cps = Utf8ToUtf32(text);
  if (cps.size() <= kMaxShown) return std::string(text);
  cps.resize(kMaxShown);
  return Utf32ToUtf8(cps) + "…";
}

// Calls `onBreak` for each line break (CR LF, lone CR, lone LF) and `onText` for the rest.
template <class OnText, class OnBreak>
void ForEachLine(std::string_view text, OnText onText, OnBreak onBreak) {
  std::size_t start = 0;
  // Each kind of break is searched with memchr and its next place kept until passed: a part's
  // line may run to tens of kilobytes, and find_first_of called memchr once per byte.
  std::size_t cr = text.find('\r');
  std::size_t lf = text.find('\n');
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (cr < i) cr = text.find('\r', i);
    if (lf < i) lf = text.find('\n', i);
    i = std::min({cr, lf, text.size()});
    if (i == text.size()) break;
    onText(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    onBreak();
    start = i + 1;
  }
  onText(text.substr(start));
}

// One file line per field: a break left in a field would shift every later line.
std::string JoinBreaks(std::string_view text, std::string_view joint) {
  std::string out;
  out.reserve(text.size());
  ForEachLine(
      text, [&](std::string_view piece) { out += piece; }, [&] { out += joint; });
  return out;
}

std::string SingleLine(std::string_view text) {
  return JoinBreaks(text, " ");
}

std::string MmlToLine(std::string_view mml) {
  return JoinBreaks(mml, "`");
}

std::string LineToMml(std::string_view line) {
  std::string out;
  out.reserve(line.size() + line.size() / 8);
  // Runs between grave accents go over whole; a part of tens of thousands of notes
  // is read at every build from the command line.
  for (std::size_t at = 0; at <= line.size();) {
    const std::size_t accent = std::min(line.find('`', at), line.size());
    out.append(line, at, accent - at);
    if (accent == line.size()) break;
    out += kLineEnd;
    at = accent + 1;
  }
  return out;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(
      text, [&](std::string_view piece) { lines.emplace_back(piece); }, [] {});
  // The last line's end is a terminator, not the start of one more empty line.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// Checked on the raw bytes so that a large file of another kind is turned away
// before any of it is decoded.
bool StartsWithMagicLine(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kMagic.size()) return false;
  for (std::size_t i = 0; i < kMagic.size(); ++i) {
    if (bytes[i] != static_cast<std::uint8_t>(kMagic[i])) return false;
  }
  return bytes.size() == kMagic.size() || bytes[kMagic.size()] == '\r' ||
         bytes[kMagic.size()] == '\n';
}

std::string WithoutFirstCharacter(std::string_view text) {
  if (text.empty()) return {};
  std::size_t i = 1;
  while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  return std::string(text.substr(i));
}

// A whole number with blanks ignored, as the resolution line was always read.
std::optional<long long> ParseWholeNumber(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c != ' ' && c != '\t') digits.push_back(c);
  }
  long long value = 0;
  const char* end = digits.data() + digits.size();
  auto [ptr, ec] = std::from_chars(digits.data(), end, value);
  if (digits.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

Result<std::vector<std::uint8_t>> SerializeSongFile(const SongDocument& song) {
  std::string text;
  auto line = [&](std::string_view content) {
    text += content;
    text += kLineEnd;
  };
  const auto& p = song.parts;
  line(kMagic);
  line(SingleLine(song.title));
  line(song.tempo.empty() ? std::string(kEmptyTempoLine) : "@" + SingleLine(song.tempo));
  for (int i = 0; i < 3; ++i) line(SingleLine(p[i].tone));
  for (int i = 0; i < 3; ++i) line(SingleLine(p[i].volume));
  for (int i = 0; i < 3; ++i) line(MmlToLine(p[i].mml));
  line(song.copyProtect ? "1" : "0");
  line(SingleLine(song.protectText));
  line(song.resolution == 0 ? " 0 " : " 1 ");
  line(SingleLine(p[3].tone));
  line(SingleLine(p[3].volume));
  line(MmlToLine(p[3].mml));
  return EncodeCp932(text);
}

Result<SongFileRead> ParseSongFile(std::span<const std::uint8_t> bytes) {
  if (!StartsWithMagicLine(bytes)) {
    return Fail(msg::kInvalidFileFormat, DiagnosticCode::kInvalidFormat);
  }

  SongFileRead result;
  DecodedText decoded = DecodeCp932(bytes);
  if (decoded.invalidCount > 0)
    result.warnings.push_back(MakeWarning(msg::SongUndecodableBytes(decoded.invalidCount)));
  const std::vector<std::string> lines = SplitLines(decoded.utf8);
  if (lines.size() < static_cast<std::size_t>(kThreePartLineCount)) {
    result.warnings.push_back(MakeWarning(msg::SongFileShort(lines.size())));
  }

  // Missing lines leave the field as a new song has it.
  auto at = [&](int lineNo) -> const std::string* {
    return static_cast<std::size_t>(lineNo) <= lines.size() ? &lines[lineNo - 1] : nullptr;
  };
  auto readChoice = [&](int lineNo, std::string& field, bool isVolume) {
    const std::string* text = at(lineNo);
    if (!text) return;
    const bool known =
        isVolume ? FindVolumeValue(*text).has_value() : FindToneProgram(*text).has_value();
    if (known) {
      field = *text;
      return;
    }
    const char* fallback = isVolume ? kDefaultVolumeChoice : kDefaultToneChoice;
    field = fallback;
    result.warnings.push_back(MakeWarning(msg::UnknownChoice(
        lineNo, isVolume ? msg::kVolumeField : msg::kToneField, Excerpt(*text), fallback)));
  };
  auto readMml = [&](int lineNo, std::string& field) {
    if (const std::string* text = at(lineNo)) field = LineToMml(*text);
  };

  SongDocument& song = result.song;
  auto& p = song.parts;
  if (const std::string* title = at(2)) song.title = *title;
  if (const std::string* tempo = at(3)) song.tempo = WithoutFirstCharacter(*tempo);
  for (int i = 0; i < 3; ++i) readChoice(4 + i, p[i].tone, false);
  for (int i = 0; i < 3; ++i) readChoice(7 + i, p[i].volume, true);
  for (int i = 0; i < 3; ++i) readMml(10 + i, p[i].mml);
  if (const std::string* protect = at(13)) song.copyProtect = *protect == "1";
  if (const std::string* protectText = at(14)) song.protectText = *protectText;
  if (const std::string* resolution = at(kThreePartLineCount)) {
    const std::optional<long long> index = ParseWholeNumber(*resolution);
    if (index == 0 || index == 1) {
      song.resolution = static_cast<int>(*index);
    } else {
      result.warnings.push_back(
          MakeWarning(msg::UnreadableResolution(kThreePartLineCount, Excerpt(*resolution))));
    }
  }
  readChoice(16, p[3].tone, false);
  readChoice(17, p[3].volume, true);
  readMml(kFullLineCount, p[3].mml);
  return result;
}

Result<void> WriteSongFile(const std::filesystem::path& path, const SongDocument& song) {
  Result<std::vector<std::uint8_t>> bytes = SerializeSongFile(song);
  if (!bytes) {
    // Text the file cannot hold leaves it unwritten as a full disk would.
    Diagnostic d = std::move(bytes.error());
    d.code = DiagnosticCode::kFileAccess;
    return std::unexpected(std::move(d));
  }
  return WriteFileAtomic(path, *bytes);
}

Result<SongFileRead> ReadSongFile(const std::filesystem::path& path) {
  Result<std::vector<std::uint8_t>> bytes = ReadFileBytes(path);
  if (!bytes) return std::unexpected(bytes.error());
  return ParseSongFile(*bytes);
}

}  // namespace chwr
