#include "mml/compile_errors.h"

#include <utility>

#include "messages.h"
#include "text/cp932.h"

namespace chwr {

Diagnostic CommandError(int part, int line, const char* what, std::string_view search) {
  Diagnostic d;
  d.message = msg::AtPartLine(part, line, what);
  d.part = part;
  d.line = line;
  d.searchText = std::string(search);
  return d;
}

Diagnostic CharacterError(int part, int line, char32_t ch) {
  std::string shown;
  AppendUtf8(shown, ch);
  Diagnostic d;
  d.message = msg::InvalidCharacter(part, line, shown);
  d.part = part;
  d.line = line;
  d.searchText = shown;
  return d;
}

Diagnostic PartError(int part, std::string text) {
  Diagnostic d;
  d.message = std::move(text);
  d.part = part;
  return d;
}

}  // namespace chwr
