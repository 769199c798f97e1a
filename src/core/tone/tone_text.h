#pragma once
// The FM tone definition the tone editor hands to the clipboard. The user sets each
// operator in readable units (lists, and numbers that grow the way one hears them);
// the definition counts most of them the other way round, and a part's MML takes it
// as "@{...}" under a comment line that names the columns.

#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// One operator as the tone editor's controls hold it: list positions and typed text.
struct ToneOperatorSettings {
  int multiple = 0;                ///< ML: position in the list "0.5", "1", "2" ... "7"
  int vibrato = 0;                 ///< VI: 0 off, 1 on
  int envelope = 0;                ///< EG: 0 decaying, 1 sustained
  int sustain = 0;                 ///< SU: 0 off, 1 on
  int waveform = 0;                ///< WF: 0 sine, 1 half sine
  std::string attackRate = "0";    ///< AR as typed; the definition holds 15 minus it
  std::string decayRate = "1";     ///< DR as typed; the definition holds 16 minus it
  std::string sustainLevel = "1";  ///< SL as typed; the definition holds 16 minus it
  std::string releaseRate = "1";   ///< RR as typed; the definition holds 16 minus it
  std::string totalLevel = "64";   ///< TL as typed; the definition holds 64 minus it
};

/// Everything the tone editor holds; the defaults are its starting values.
struct ToneSettings {
  ToneOperatorSettings modulator;  ///< the operator that shapes the other's sound
  ToneOperatorSettings carrier;    ///< the operator that is heard
  std::string feedback = "0";      ///< the modulator's FB as typed
  std::string octave = "1";        ///< OC as chosen: "1", "2" or "3"
};

/// The boxes the user types numbers into; each number lands in a field of fixed width.
enum class ToneBox { kAttackRate, kDecayRate, kSustainLevel, kReleaseRate, kTotalLevel, kFeedback };

/// The numbers a box takes, both ends included.
struct ToneRange {
  int low = 0;
  int high = 0;
  bool operator==(const ToneRange&) const = default;
};

/// What a box may hold for its field to take the value written for it: AR 0..15; DR, SL
/// and RR 1..16; TL 1..64 (counted down into fields of 4 and 6 bits); FB 0..7.
ToneRange TypedRange(ToneBox box);

/// Whether the value written for `typed` fits its field as the compiler reads it back
/// (rounded, ties to even): AR "15.4" writes -0.4, read as 0, and fits; "15.6" does not.
/// A value that does not fit is still written as it is, but it spills into the fields
/// beside it and changes the tone.
bool FitsItsField(ToneBox box, std::string_view typed);

/// A box whose value does not fit its field.
struct ToneBoxAt {
  bool carrier = false;  ///< else the modulator's
  ToneBox box = ToneBox::kAttackRate;
  bool operator==(const ToneBoxAt&) const = default;
};

/// Every box of `settings` whose value does not fit, in the order the window shows them:
/// the modulator's AR DR SL RR TL FB, then the carrier's AR DR SL RR TL.
std::vector<ToneBoxAt> BoxesOutOfRange(const ToneSettings& settings);

/// `from` minus the number `typed` starts with, exactly, as plain decimal: 15 and "2.5"
/// give "12.5", 64 and "-100" give "164", 16 and "2.50" give "13.5". No range is enforced.
/// Typed text is read leniently: full-width digits count as digits; blanks, tabs and line
/// breaks are skipped wherever they stand; the first other character that cannot go on
/// with the number ends it; a text that starts with no number reads as 0.
std::string CountDown(int from, std::string_view typed);

/// The clipboard text: the comment line, the modulator's line and the carrier's line,
/// each ended by CR LF, every value at least two characters wide. The feedback is written
/// as typed when it is a number, else as the number it starts with: nothing else may
/// reach the definition, where a "," would shift the fields after it and a "}" cut them.
std::string ToneDefinitionText(const ToneSettings& settings);

}  // namespace chwr
