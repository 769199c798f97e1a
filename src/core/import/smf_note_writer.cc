#include "import/smf_note_writer.h"

#include <cstdlib>
#include <string_view>

#include "mml/notation.h"
#include "sequence/step_pass.h"

namespace chwr::smf {
namespace {

std::string Num(std::int64_t v) {
  return std::to_string(v);
}

}  // namespace

int PitchClass(int note) {
  return (note - 24) % 12;
}

std::string OctavePrefix(int octave) {
  return "O" + Num(octave - 1);
}

int WriterOctave(int note) {
  return MidiNotePitch(note).octave + 1;
}

std::string NoteWriter::Streamed(int& note, std::int64_t step, std::int64_t gate) {
  Clip(step);
  Clip(gate);
  int pc = -1;
  std::string gateText;
  if (note != 0 && !(step == 0 && gate == 0)) {
    note += transpose_;
    pc = PitchClass(note);
    if (step == 0) gate = 0;
    if (step < gate) gate = 0;
    if (gate == 0) gate = step;
    const std::int64_t q = step - gate;
    // A gate that is still in force is not said again.
    if (q != lastQ_) gateText = "Q" + Num(q);
    lastQ_ = q;
  }
  const bool rest = pc < 0;
  const int before = curOctave_;
  std::string text = OctaveText(note, rest);
  const std::string_view name = rest ? std::string_view("R") : PitchName(pc);

  std::string length;
  // Length names are safe only while no gate is in force: a gate shortens the last of
  // the tied pieces alone. Otherwise the note is one absolute length, named afterwards
  // where its last piece holds the gate. This writer names no dotted 32nd.
  if (gateText == "Q0" || (gateText.empty() && (rest || lastQ_ == 0))) {
    length = LengthPieces(name, step, {.stepsPerQuarter = 48, .tie = !rest, .dotted32 = false});
  } else {
    std::int64_t len = step;
    while (len > kWhole) {
      length += name;
      length += "*192&";
      len -= kWhole;
    }
    length += name;
    length += "*" + Num(len);
    // Only a sounding note drops the "&" after its last piece: a note below the lowest
    // key, written as a rest, keeps it.
    if (rest) length += '&';
  }
  if (length.empty()) {
    // Nothing sounds: the octave stays where the last written note left it.
    curOctave_ = before;
    text.clear();
  } else if (!rest && !firstOctave_) {
    firstOctave_ = curOctave_;
  }
  return text + gateText + length;
}

std::string NoteWriter::Absolute(int& note, std::int64_t step, std::int64_t gate, bool slur) {
  Clip(step);
  Clip(gate);
  int pc = -1;
  if (note != 0) {
    note += transpose_;
    pc = PitchClass(note);
    if (step == 0) gate = 0;
    if (gate == 0) gate = step;
  }
  const bool rest = pc < 0;
  std::string text = OctaveText(note, rest);
  const std::string_view name = rest ? std::string_view("R") : PitchName(pc);

  std::int64_t gap = step - gate;
  std::string length;
  std::int64_t q = 0;
  if (step <= kWhole) {
    std::string_view tie;
    if (gap < 0) {
      if (!rest && slur) tie = "&";
      gap = 0;
    }
    length += name;
    length += "*" + Num(step);
    length += tie;
    q = gap;
  } else {
    std::string_view tie;
    std::int64_t sounds = gate;
    if (gap < 0) {
      // Still sounding when the next note begins: it lasts up to it, tied, and never
      // past it, or every later note would come late.
      if (!rest && slur) tie = "&";
      sounds = step;
      gap = 0;
    }
    while (sounds > kWhole) {
      length += name;
      length += rest ? "*192" : "*192&";
      sounds -= kWhole;
    }
    length += name;
    length += "*" + Num(sounds);
    length += tie;
    if (gap > 0) {
      while (gap > kWhole) {
        length += "R*192";
        gap -= kWhole;
      }
      length += "R*" + Num(gap);
    }
  }
  if (q != lastQ_ && !rest) {
    text += "Q" + Num(q);
    lastQ_ = q;
  }
  if (!rest && !firstOctave_) firstOctave_ = curOctave_;
  return text + length;
}

// No song holds a note longer than its step limit; a longer one (a delta time of
// years in a broken file) is cut there, so its text stays a few hundred pieces.
void NoteWriter::Clip(std::int64_t& steps) {
  if (steps > kMaxSongSteps) {
    steps = kMaxSongSteps;
    lengthCut_ = true;
  }
}

// "<" or ">" from the last note's octave to this one's; rests keep the octave.
std::string NoteWriter::OctaveText(int note, bool rest) {
  const int oct = rest ? 0 : WriterOctave(note);
  if (curOctave_ == 0) curOctave_ = oct;
  std::string text;
  if (!rest && oct != curOctave_) {
    text = OctaveMarks(curOctave_, oct);
    curOctave_ = oct;
  }
  return text;
}

}  // namespace chwr::smf
