#pragma once
// The notation MML shares across the program: the twelve note names, the keys of each
// format and the names MML gives them, the named lengths in steps at both resolutions,
// the pieces a note's text is made of (octave marks, tied length pieces) and the writer
// of single notes with their octave and Q. Whatever turns a format into MML (the MLD and
// SMD readers, the MIDI import, the dumps) names notes and lengths with these.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace chwr {

// ---- note names and keys -----------------------------------------------------------------

/// The name of pitch class `pitchClass` (any whole number, taken modulo 12; 0 is C), sharps
/// only: "C", "C+", "D", ... "B".
std::string_view PitchName(int pitchClass);

/// Semitones of a note letter above C: 'C' 0, 'D' 2, 'E' 4, 'F' 5, 'G' 7, 'A' 9, 'B' 11;
/// -1 for any other character. Upper case only: the compiler folds case before it reads.
constexpr int LetterSemitone(char32_t letter) {
  constexpr int kFromA[] = {9, 11, 0, 2, 4, 5, 7};
  return letter >= U'A' && letter <= U'G' ? kFromA[letter - U'A'] : -1;
}

/// A pitch as MML names it: the octave an "O" command sets and the pitch class.
struct NotePitch {
  int octave = 0;
  int pitchClass = 0;  ///< 0..11, C first
  bool operator==(const NotePitch&) const = default;
};

/// "O4C+": the octave command and the name.
std::string PitchText(NotePitch pitch);

/// Keys a part of an MLD track has; the key byte holds the part above them.
inline constexpr int kMldPartKeys = 64;

/// The pitch of an MLD key byte: the note code is the byte modulo 64 (the part stands
/// above it), code 3 is O1C and codes 0..2 fall into octave 0. The SMD windows count
/// their notes as these codes too (window 1 starts at code 12, the A of octave 1).
NotePitch MldKeyPitch(int key);

/// The MLD note code of `semitone` (0..11 above C, may run past 11) in octave `octave`,
/// before it is brought into a part's keys: 12 * (octave - 1) + semitone + 3.
constexpr std::int64_t MldNoteCode(std::int64_t octave, std::int64_t semitone) {
  return 12 * (octave - 1) + semitone + 3;
}

/// "O5C+" for an MLD key byte: how a note that sounds at that key is named.
std::string MldKeyText(int key);

/// The pitch of a MIDI note number: 60 is O4C, 0 is O-1C.
NotePitch MidiNotePitch(int note);

/// The octave marks that move a text from octave `from` to octave `to`: "<" for each
/// octave up, ">" for each octave down.
std::string OctaveMarks(int from, int to);

// ---- lengths -----------------------------------------------------------------------------

/// A length MML writes by name, with its steps at 48 a quarter note.
struct NamedLength {
  std::string_view name;
  int steps;
};

/// Every named length, longest first: whole note down to the 64th, the dotted ones
/// among them.
inline constexpr std::array<NamedLength, 12> kNamedLengths = {{
    {"1", 192},
    {"2.", 144},
    {"2", 96},
    {"4.", 72},
    {"4", 48},
    {"8.", 36},
    {"8", 24},
    {"16.", 18},
    {"16", 12},
    {"32.", 9},
    {"32", 6},
    {"64", 3},
}};

/// Steps of `length` at `stepsPerQuarter` (24; anything else is taken as 48), or 0 when
/// it is no whole number of steps there (the dotted 32nd and the 64th at 24).
constexpr int NamedSteps(const NamedLength& length, int stepsPerQuarter) {
  if (stepsPerQuarter != 24) return length.steps;
  return length.steps % 2 == 0 ? length.steps / 2 : 0;
}

/// The name of a length of `steps` at `stepsPerQuarter` (24, else 48), if it has one.
std::optional<std::string_view> LengthName(int steps, int stepsPerQuarter);

/// Steps of a plain (undotted) length name as the compiler reads it: "1", "2", "4", "8",
/// "16", "32" or "64"; nullopt for any other text. At 24 steps a quarter the steps at 48
/// are halved with ties to even, so "64" (1.5 steps) plays 2.
template <class Char>
constexpr std::optional<int> PlainLengthSteps(std::basic_string_view<Char> text,
                                              int stepsPerQuarter) {
  // Every note reads its length here, so the seven names are matched directly rather than
  // by a walk through kNamedLengths.
  int steps = 0;
  if (text.size() == 1) {
    switch (text[0]) {
      case Char('1'): steps = 192; break;
      case Char('2'): steps = 96; break;
      case Char('4'): steps = 48; break;
      case Char('8'): steps = 24; break;
      default: return std::nullopt;
    }
  } else if (text.size() == 2) {
    const Char a = text[0];
    const Char b = text[1];
    if (a == Char('1') && b == Char('6')) {
      steps = 12;
    } else if (a == Char('3') && b == Char('2')) {
      steps = 6;
    } else if (a == Char('6') && b == Char('4')) {
      steps = 3;
    } else {
      return std::nullopt;
    }
  } else {
    return std::nullopt;
  }
  if (stepsPerQuarter != 24) return steps;
  const int half = steps / 2;
  return half + (steps % 2 != 0 && half % 2 != 0 ? 1 : 0);
}

/// How LengthPieces splits a length.
struct PieceOptions {
  int stepsPerQuarter = 48;  ///< 24, else 48
  bool tie = true;           ///< pieces of a note are tied with "&"; a rest's follow on
  bool dotted32 = true;      ///< the dotted 32nd may be a piece (not at 24, where it is none)
};

/// `steps` as named pieces after `name` ("C", "R"), longest first ("C2&C8"), whatever
/// no name holds last as an absolute length ("C2&C*5"); "" for no steps.
std::string LengthPieces(std::string_view name, std::int64_t steps, PieceOptions options = {});

// ---- the note writer ---------------------------------------------------------------------

/// Writes single notes and rests as MML, keeping the octave and Q that the text has reached.
struct MmlNoteWriter {
  int octave = 3;       ///< octave the text is in
  int q = 0;            ///< Q value the text has set
  int resolution = 48;  ///< steps per quarter note naming the lengths: 24, else 48
  /// Characters of the last note's text with an absolute length counted as "*" and digits,
  /// which is how a line of read MML is measured.
  std::size_t lastWidth = 0;

  /// One note (`key` = MLD key byte) or rest of `length` steps sounding `gate` steps, with
  /// the octave and Q commands it needs; "" when `key` is empty and `rest` is false. A note
  /// that needs a Q but splits into tied pieces gets one absolute length, named as a
  /// dotted or plain length when that is one, unless the Q would not fit the dotted
  /// note's short third ("Q30C*72" sounds 42 steps, "Q30C4." would sound 49).
  std::string Note(std::optional<int> key, bool rest, int length, int gate);
};

}  // namespace chwr
