#pragma once
// Rewrites of length notation inside MML text.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace chwr {

/// Turns absolute lengths written at 48 steps per quarter note ("*36") back into
/// note-length notation ("8."). "*192" down to "*24" are replaced wherever they
/// stand; "*18" down to "*3" only where no digit follows.
std::string NormaliseLengths(std::string_view text);

/// NormaliseLengths for text written at `stepsPerQuarter` (24; anything else is taken as 48).
/// At 24 the table is halved ("*96" is "1", "*3" is "32") and every entry is replaced only
/// where no digit follows, because lengths such as "*120" are real lengths at that resolution.
std::string NormaliseLengthsAt(std::string_view text, int stepsPerQuarter);

/// Rewrites every absolute length "*n" (up to four digits after the "*") for a
/// resolution change: halved (rounded half up) when `halve`, else doubled.
/// Only the commands are lengths: comments ("'" up to the next CR LF) and brace groups
/// (tone definitions "@{...}" and raw data "{...}", up to the next "}") stay as written.
/// A "*" without a digit after it stays as it is.
std::string RescaleAbsoluteLengths(std::string_view text, bool halve);

/// An absolute length that halving cannot keep: an odd number of steps.
struct InexactLength {
  int part = 0;          ///< 0..3
  int line = 0;          ///< line of the part's text it stands on, from 1
  std::string written;   ///< the length with its command as written, e.g. "D*17"
  std::string rescaled;  ///< what halving makes of it, e.g. "D*9"
  bool operator==(const InexactLength&) const = default;
};

/// The absolute lengths of the four part texts that RescaleAbsoluteLengths would halve
/// inexactly, in part and text order.
std::vector<InexactLength> InexactHalvings(const std::array<std::string, 4>& parts);

/// The question to ask before halving `inexact` (not empty): the first few by name.
std::string InexactHalvingQuestion(const std::vector<InexactLength>& inexact);

}  // namespace chwr
