#pragma once
// The errors the compiler reports while it reads a part.

#include <string>
#include <string_view>

#include "diagnostic.h"

namespace chwr {

/// `what` went wrong in a command of `part` on `line`; the editor searches for `search`.
Diagnostic CommandError(int part, int line, const char* what, std::string_view search);

/// `ch` stands where no command may hold it.
Diagnostic CharacterError(int part, int line, char32_t ch);

/// The part as a whole cannot be read; no line to point at.
Diagnostic PartError(int part, std::string text);

}  // namespace chwr
