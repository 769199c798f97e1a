// Melody mail is pasted text: decoding any text must end cleanly, the bytes it yields go
// to the MLD reader, and encoding them again must give the same bytes back.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "mail/melody_mail.h"
#include "mld_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto bytes = chwr::MailTextToBytes(text);
  if (!bytes) {
    FUZZ_CHECK(!bytes.error().message.empty());
    return 0;
  }
  // Each group of four characters is three bytes, so there is never padding to lose.
  FUZZ_CHECK(bytes->size() % 3 == 0);
  const auto again = chwr::MailTextToBytes(chwr::MakeMailText(*bytes));
  FUZZ_CHECK(again.has_value() && *again == *bytes);
  CheckMldImage(*bytes);
  return 0;
}
