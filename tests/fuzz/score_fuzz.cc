// The score editor opens on whatever part the user compiled (text from files and the
// clipboard): reading any compiled part must give a score of valid cells whose MML compiles,
// and what the score shows exactly must come back as the same notes. The edits that follow
// must keep every cell valid.
//
// Input layout: one settings byte (bit 0: resolution 24 or 48; bit 1: the comment line),
// then part 1's text up to a 0x00 byte, then edits of three bytes each (what, cell, y).

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "../support/part_compile.h"
#include "fuzz_check.h"
#include "score/score_mml.h"
#include "score/score_read.h"

namespace {

void CheckScore(const chwr::Score& score) {
  for (int c = 1; c <= chwr::kStoredCells; ++c) {
    const chwr::ScoreCell& cell = score.cell(c);
    if (cell.empty()) {
      FUZZ_CHECK(cell == chwr::ScoreCell{});
      continue;
    }
    FUZZ_CHECK(cell.pitchPos >= chwr::kPointerMinPitchPos);
    FUZZ_CHECK(cell.lengthCode >= 0 && cell.lengthCode < chwr::kLengthCodes);
    FUZZ_CHECK(cell.accidental >= 0 && cell.accidental <= 3);
    FUZZ_CHECK(!(cell.triplet && chwr::IsDottedCode(cell.lengthCode)));
  }
  FUZZ_CHECK(score.currentCell() >= 1 && score.currentCell() <= chwr::kShownCells);
  FUZZ_CHECK(score.range().first >= 1 && score.range().first <= score.range().last &&
             score.range().last <= chwr::kShownCells);
}

// Every edit the score editor offers, chosen by the edit's first byte.
using EditFn = chwr::ScoreChange (*)(chwr::Score&, int cell, int y);
constexpr EditFn kEdits[] = {
    [](chwr::Score& s, int cell, int y) { return s.Press(cell, y); },
    [](chwr::Score& s, int cell, int y) { return s.Drag(cell, y); },
    [](chwr::Score& s, int cell, int) { return s.Release(cell); },
    [](chwr::Score& s, int cell, int) { return s.SetLength(cell % 24 - 2); },
    [](chwr::Score& s, int cell, int) { return s.ChooseLengthItem(cell % 12 - 1); },
    [](chwr::Score& s, int, int) { return s.ToggleRest(); },
    [](chwr::Score& s, int cell, int) { return s.PressDigitKey(cell % 12 - 1); },
    [](chwr::Score& s, int cell, int) { return s.StepLength(cell % 2 ? 1 : -1); },
    [](chwr::Score& s, int cell, int) { return s.SetAccidental(cell % 6 - 1); },
    [](chwr::Score& s, int cell, int) { return s.SetTie(cell % 2); },
    [](chwr::Score& s, int cell, int) { return s.SetTriplet(cell % 2); },
    [](chwr::Score& s, int, int) { return s.MoveUp(); },
    [](chwr::Score& s, int, int) { return s.MoveDown(); },
    [](chwr::Score& s, int, int) { return s.Insert(); },
    [](chwr::Score& s, int, int) { return s.Delete(); },
    [](chwr::Score& s, int, int) { return s.Clear(); },
};

// What a part sounds like: each note with its start and its length through the same notes
// tied after it, each run of rests as one. A dotted length the score shows is written with
// a dot, which the compiler makes two tied events of, so events alone may differ.
struct Sound {
  int start;
  int key;  // -1 for silence
  int length;
  bool operator==(const Sound&) const = default;
};

std::vector<Sound> Heard(const chwr::CompiledPart& part) {
  std::vector<Sound> heard;
  int t = 0;
  bool tied = false;
  for (int i = 0; i < part.count; ++i) {
    const chwr::NoteEvent& e = part.events[i];
    const int key = e.gate == 0 ? -1 : e.key;
    if (!heard.empty() && heard.back().key == key && (key == -1 || tied)) {
      heard.back().length += e.step;
    } else {
      heard.push_back({t, key, e.step});
    }
    tied = e.gate > e.step;
    t += e.step;
  }
  return heard;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int resolution = data[0] & 1;
  const bool comment = (data[0] & 2) != 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t end = rest.find('\0');
  const std::string_view mml = rest.substr(0, end);
  const std::string_view edits =
      end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

  const auto compiled = chwr::test::CompileText(mml, 0, resolution);
  if (!compiled.ok) return 0;
  const chwr::CompiledPart& first = compiled.part;
  const chwr::ScoreReading reading = chwr::ReadCompiledPart(first, resolution);
  FUZZ_CHECK(reading.shown == std::min(reading.fullCount, chwr::kShownCells));
  FUZZ_CHECK(reading.fullCount <= first.count);
  FUZZ_CHECK(reading.notice.empty() ==
             (reading.lengthChanges.empty() && reading.fullCount == reading.shown));
  chwr::Score score;
  score.Load(reading.cells);
  CheckScore(score);

  const chwr::ScoreMml out = chwr::ScoreToMml(score, resolution, comment);
  const auto second = chwr::test::CompileText(out.saved, 0, resolution);
  FUZZ_CHECK(second.ok);
  if (reading.lengthChanges.empty() && reading.fullCount == reading.shown) {
    // Gates may differ (the score has no Q); what is heard may not.
    FUZZ_CHECK(Heard(second.part) == Heard(first));
  }

  for (std::size_t i = 0; i + 3 <= edits.size(); i += 3) {
    const auto cell = static_cast<std::uint8_t>(edits[i + 1]);
    const auto y = static_cast<std::int8_t>(edits[i + 2]);
    const EditFn edit = kEdits[static_cast<std::uint8_t>(edits[i]) % std::size(kEdits)];
    edit(score, cell % 40 - 1, 2 * y + 100);
    CheckScore(score);
  }
  const std::string edited = chwr::ScoreToMml(score, resolution, comment).saved;
  FUZZ_CHECK(chwr::test::CompileText(edited, 0, resolution).ok);
  return 0;
}
