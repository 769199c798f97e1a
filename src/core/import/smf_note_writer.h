#pragma once
// What the streaming and the absolute conversion of a MIDI part share: the part's
// resolution, and the writer that turns one note or rest into MML and keeps what one note
// passes to the next. Used by the conversions only; not a public interface.

#include <cstdint>
#include <optional>
#include <string>

#include "import/smf_convert.h"

namespace chwr::smf {

/// Parts are written at 48 steps a quarter; a whole note is 192.
inline constexpr std::int64_t kStepsPerQuarter = 48;
inline constexpr std::int64_t kWhole = 4 * kStepsPerQuarter;

/// The pitch class a (transposed) note number is written with; negative below 24 where
/// the note is no multiple of 12: such notes are written as rests.
int PitchClass(int note);

/// The "O" that puts the part in `octave`, counted as NoteWriter counts them.
std::string OctavePrefix(int octave);

/// The octave NoteWriter counts for a note number: 1 more than the octave MML names it
/// by, so that 0 can stand for no octave yet.
int WriterOctave(int note);

/// Writes notes and rests as MML and keeps what one note passes to the next: the octave
/// of the last note and the last gate value. Lengths are in steps.
class NoteWriter {
 public:
  explicit NoteWriter(const ConvertSetup& s) : transpose_(s.transpose) {}

  bool lengthCut() const { return lengthCut_; }
  /// The gate the part plays with now (the last "Q" written).
  std::int64_t lastQ() const { return lastQ_; }
  /// The octave of the first note written that sounds, once there is one.
  std::optional<int> firstOctave() const { return firstOctave_; }

  /// The streaming note writer: length names, "Q" for the silent tail, ties. `note` is
  /// transposed in place (0 is a rest).
  std::string Streamed(int& note, std::int64_t step, std::int64_t gate);

  /// The absolute note writer: "*n" lengths, explicit rests after long notes.
  /// `slur`: a note still sounding at the next one's start may be tied into it (not when
  /// the next is of the same pitch, which must be struck again).
  std::string Absolute(int& note, std::int64_t step, std::int64_t gate, bool slur = true);

 private:
  void Clip(std::int64_t& steps);
  std::string OctaveText(int note, bool rest);

  int transpose_;
  int curOctave_ = 0;
  std::optional<int> firstOctave_;
  // No gate written yet: the first note always says its own, also a gate of 1 (the
  // compiler starts at Q0, so taking 1 as already said would lose it); a first Q0 is
  // written as before.
  std::int64_t lastQ_ = -1;
  bool lengthCut_ = false;
};

}  // namespace chwr::smf
