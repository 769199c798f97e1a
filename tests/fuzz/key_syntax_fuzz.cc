// Key text comes from the user (the paths typed into the program, and whatever key text is
// sent): parsing it never crashes, every press has its release, and text escaped for the
// syntax is typed back character for character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "text/cp932.h"
#include "transfer/key_syntax.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto events = chwr::ParseKeys(text)) {
    int held = 0;
    for (const chwr::KeyEvent& e : *events) held += e.down ? 1 : -1;
    FUZZ_CHECK(held == 0);
  } else {
    FUZZ_CHECK(!events.error().detail.empty());
  }
  const std::string utf8 = chwr::Utf32ToUtf8(chwr::Utf8ToUtf32(text));
  const auto typed = chwr::ParseKeys(chwr::EscapeKeys(utf8));
  FUZZ_CHECK(typed.has_value());
  std::u32string back;
  for (const chwr::KeyEvent& e : *typed) {
    FUZZ_CHECK(e.modifier == chwr::Modifier::kNone && e.named == chwr::NamedKey::kNone);
    if (e.down) back += e.character;
  }
  FUZZ_CHECK(chwr::Utf32ToUtf8(back) == utf8);
  return 0;
}
