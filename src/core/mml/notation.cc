#include "mml/notation.h"

#include <algorithm>
#include <cstdlib>

namespace chwr {
namespace {

constexpr std::string_view kPitchNames[12] = {"C",  "C+", "D",  "D+", "E",  "F",
                                              "F+", "G",  "G+", "A",  "A+", "B"};

// Division that rounds toward minus infinity, so that the notes below a format's first C
// fall into the octave below it.
int FloorDiv(int a, int b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

int Modulo12(int n) {
  return ((n % 12) + 12) % 12;
}

}  // namespace

std::string_view PitchName(int pitchClass) {
  return kPitchNames[Modulo12(pitchClass)];
}

std::string PitchText(NotePitch pitch) {
  return "O" + std::to_string(pitch.octave) + std::string(PitchName(pitch.pitchClass));
}

NotePitch MldKeyPitch(int key) {
  const int code = ((key % kMldPartKeys) + kMldPartKeys) % kMldPartKeys;
  return {FloorDiv(code - 3, 12) + 1, Modulo12(code - 3)};
}

std::string MldKeyText(int key) {
  return PitchText(MldKeyPitch(key));
}

NotePitch MidiNotePitch(int note) {
  return {FloorDiv(note, 12) - 1, Modulo12(note)};
}

std::string OctaveMarks(int from, int to) {
  return std::string(static_cast<std::size_t>(std::abs(to - from)), to > from ? '<' : '>');
}

std::optional<std::string_view> LengthName(int steps, int stepsPerQuarter) {
  if (steps <= 0) return std::nullopt;
  for (const NamedLength& length : kNamedLengths) {
    if (NamedSteps(length, stepsPerQuarter) == steps) return length.name;
  }
  return std::nullopt;
}

std::string LengthPieces(std::string_view name, std::int64_t steps, PieceOptions options) {
  std::string text;
  auto piece = [&](std::string_view length) {
    if (options.tie && !text.empty()) text += '&';
    text += name;
    text += length;
  };
  std::int64_t remaining = std::max<std::int64_t>(steps, 0);
  for (const NamedLength& length : kNamedLengths) {
    const int each = NamedSteps(length, options.stepsPerQuarter);
    if (each == 0 || (!options.dotted32 && length.name == "32.")) continue;
    for (std::int64_t n = remaining / each; n > 0; --n) piece(length.name);
    remaining %= each;
  }
  if (remaining > 0) piece("*" + std::to_string(remaining));
  return text;
}

std::string MmlNoteWriter::Note(std::optional<int> key, bool rest, int length, int gate) {
  if (!rest && !key) return {};
  length = std::max(length, 0);
  gate = std::min(gate, length);
  const NotePitch pitch = MldKeyPitch(rest ? 0 : *key);
  const std::string name(rest ? std::string_view("R") : PitchName(pitch.pitchClass));
  std::string text = LengthPieces(name, length, {.stepsPerQuarter = resolution, .tie = !rest});

  std::string prefix;
  if (!rest) {
    prefix = OctaveMarks(octave, pitch.octave);
    octave = pitch.octave;
  }
  // A Q cannot shorten a tied or dotted note, so such a note is written as one absolute length.
  // Its length may be named again as a dotted note, which the compiler plays as two tied
  // pieces with the Q on the short third: a Q that third cannot hold keeps the length absolute.
  std::size_t named = 0;  // characters the absolute form has beyond the name it ends up with
  if (text.find_first_of("&.") != std::string::npos && length != gate) {
    text = name + "*" + std::to_string(length);
    if (3 * (length - gate) < length) {
      if (const auto lengthName = LengthName(length, resolution)) {
        named = text.size() - name.size() - lengthName->size();
        text = name + std::string(*lengthName);
      }
    }
  }
  if (!rest && length - gate != q) {
    q = length - gate;
    prefix += "Q" + std::to_string(q);
  }
  lastWidth = prefix.size() + text.size() + named;
  return prefix + text;
}

}  // namespace chwr
