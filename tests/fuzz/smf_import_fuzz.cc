// MIDI files come from everywhere: the import's facts, its list item descriptions, both
// conversions (as either format) and the listing must end cleanly on any bytes, and what the
// import writes must be MML the compiler reads (or refuses with a message, never a crash).
//
// The first two bytes choose the dialog's settings; the rest is the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "convert/build_song.h"
#include "fuzz_check.h"
#include "import/smf_import.h"
#include "midi/smf_dump.h"

namespace {

// Every character a conversion may write.
bool IsMmlText(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') return false;
      ++i;
      continue;
    }
    if (std::string_view("CDEFGABR+0123456789*&.QOV<>-").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// Every number after "*" or "Q" is one the compiler takes: 0 to 192.
bool LengthsInRange(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '*' && text[i] != 'Q') continue;
    long value = 0;
    std::size_t j = i + 1;
    for (; j < text.size() && text[j] >= '0' && text[j] <= '9' && value <= 192; ++j) {
      value = value * 10 + (text[j] - '0');
    }
    if (j == i + 1 || value > 192) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t how = data[0];
  const std::uint8_t which = data[1];
  const std::span<const std::uint8_t> bytes(data + 2, size - 2);

  const std::string listing = chwr::DumpSmf(bytes);
  FUZZ_CHECK(!listing.empty() && listing.back() == '\n');

  auto facts = chwr::ReadSmfFacts(bytes);
  if (!facts) {
    FUZZ_CHECK(facts.error().message == "SMF ﾌｫｰﾏｯﾄが無効です。");
    return 0;
  }
  FUZZ_CHECK(facts->quarterSeconds > 0);
  // Either converter on any file: the format the header states, or format 0 or 1.
  if (how & 0x20) facts->format = (how & 0x40) ? 1 : 0;

  for (const chwr::ImportSource& item : chwr::DescribeImportSources(bytes, *facts)) {
    FUZZ_CHECK(item.noteCount >= 0);
    FUZZ_CHECK((item.noteCount == 0) == (item.lowestNote < 0));
    FUZZ_CHECK(item.lowestNote <= item.highestNote);
    for (int channel : item.channels) FUZZ_CHECK(channel >= 1 && channel <= 16);
  }

  static const char* kSeek[] = {"0", "1", "-1", "3"};
  static const char* kMeasures[] = {"32", "1", "9999", "0"};
  static const char* kTranspose[] = {"0", "12", "-12", "+5", "999", "-99", "2.5", "0"};
  chwr::ImportChoices choices;
  for (int i = 0; i < 4; ++i) {
    if (which & (1 << i)) choices.selected[((which >> 4) + i * 4) & 15] = true;
  }
  if (!(which & 0x0F)) choices.selected[which >> 4] = true;
  // Sometimes the parts in another order than the list's, as the command line gives them.
  if ((how ^ which) & 0x10) {
    for (int item = 15; item >= 0; --item) {
      if (choices.selected[item]) choices.order.push_back(item);
    }
  }
  choices.absolute = how & 0x01;
  choices.octave = how & 0x02;
  choices.tone = how & 0x04;
  choices.volume = static_cast<chwr::ImportVolume>((how >> 3) & 3);
  choices.seek = kSeek[(how >> 7) | ((which >> 6) & 2)];
  choices.measures = kMeasures[(which >> 4) & 3];
  choices.transpose = kTranspose[((how >> 5) & 1) | ((which >> 3) & 6)];

  const auto song = chwr::ImportSmf(bytes, *facts, choices);
  if (!song) {
    // Refused as a whole: nothing to convert in the range asked for.
    const std::string& refused = song.error().message;
    FUZZ_CHECK(refused == "変換範囲が無効です。" || refused == "開始位置が無効です。" ||
               refused.starts_with("開始位置が曲の終わりより後ろです。"));
    return 0;
  }
  if (!song->converted) return 0;
  std::size_t total = 0;
  for (const std::string& part : song->parts) {
    FUZZ_CHECK(IsMmlText(part));
    FUZZ_CHECK(LengthsInRange(part));
    total += part.size();
  }
  if (song->error) {
    for (const std::string& part : song->parts) FUZZ_CHECK(part.empty());
    return 0;
  }
  FUZZ_CHECK(!song->tempo.empty());
  for (const auto& index : song->toneIndex) FUZZ_CHECK(!index || (*index >= 4 && *index < 132));
  // What the import wrote compiles or is refused with a message; large songs teach the
  // compiler nothing the small ones do not.
  if (total < 20000) {
    chwr::SongDocument document;
    chwr::ApplyImportedSong(*song, document);
    (void)chwr::BuildSong(document);
  }
  return 0;
}
