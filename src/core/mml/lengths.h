#pragma once
// Rewrites of length notation inside MML text.

#include <string>
#include <string_view>

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
/// A "*" without a digit after it stays as it is.
std::string RescaleAbsoluteLengths(std::string_view text, bool halve);

}  // namespace chwr
