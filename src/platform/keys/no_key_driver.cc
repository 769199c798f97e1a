// Built where there is no X11: the transfer says that it needs X11 and does nothing else.
#include "keys/key_driver.h"
#include "platform_messages.h"

namespace chwr {

Result<std::unique_ptr<KeyDriver>> MakeKeyDriver(const std::string&) {
  return Fail(msg::kTransferNeedsX11);
}

}  // namespace chwr
