// MLD files come from phones, sites and other programs: reading and listing any bytes
// must end cleanly.

#include <cstddef>
#include <cstdint>
#include <span>

#include "mld_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckMldImage(std::span(data, size));
  return 0;
}
