#include "keys/key_driver.h"

#include "text/cp932.h"

namespace chwr {

const TopWindow* FindWindowTitled(const std::vector<TopWindow>& windows, std::string_view title) {
  std::u32string wanted = Utf8ToUtf32(title);
  if (wanted.size() > kComparedTitleLength) wanted.resize(kComparedTitleLength);
  for (const TopWindow& w : windows) {
    std::u32string shown = Utf8ToUtf32(w.title);
    if (shown.size() > kComparedTitleLength) shown.resize(kComparedTitleLength);
    if (shown == wanted) return &w;
  }
  return nullptr;
}

}  // namespace chwr
