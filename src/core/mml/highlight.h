#pragma once
// What each stretch of a line of MML is, for the editor's colours. It reads the text the
// way the compiler does (comments first, then tone definitions and data groups, then the
// commands), so a colour never promises a meaning the compiler does not give.

#include <cstdint>
#include <string_view>
#include <vector>

namespace chwr {

/// The kinds of text that get a colour of their own.
enum class MmlStyle : std::uint8_t {
  kNote,            ///< a note letter with its sharp or flat, or the rest "R"
  kLength,          ///< a length after a note, a dot, "L" with its length
  kOctave,          ///< "O" with its number, "<", ">", and the transposition "T"
  kVolume,          ///< "V", "~" and "_" with their values
  kTone,            ///< "@V" with its slot
  kGate,            ///< "Q" with its value
  kTie,             ///< "&"
  kRepeat,          ///< "[", "/", "]" with its count, and the start mark "!"
  kComment,         ///< from "'" to the end of the line
  kToneDefinition,  ///< "@{" up to its "}"
  kData,            ///< a raw data group "{" up to its "}"
};

/// One coloured stretch: `start` and `length` in UTF-16 code units of the line.
struct MmlSpan {
  int start = 0;
  int length = 0;
  MmlStyle style = MmlStyle::kNote;

  bool operator==(const MmlSpan&) const = default;
};

/// Where a line ends: inside a tone definition or a data group that goes on in the next.
enum class MmlLineState : int { kPlain = 0, kInToneDefinition = 1, kInData = 2 };

/// The spans of one line and the state the next line starts in.
struct MmlLineHighlight {
  std::vector<MmlSpan> spans;  ///< in order, not overlapping
  MmlLineState end = MmlLineState::kPlain;
};

/// Highlights `line` (no line break in it), which starts in state `start`.
MmlLineHighlight HighlightMmlLine(std::u16string_view line, MmlLineState start);

}  // namespace chwr
