#pragma once
// Synthesized keystrokes and top-level window lookup for the memory-dial transfer, behind
// one small interface: X11 with XTest here (Wine's programs are X11 clients, also under
// XWayland), SendInput and EnumWindows on Windows later.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostic.h"
#include "transfer/key_syntax.h"

namespace chwr {

/// The most top-level windows a scan looks at.
inline constexpr std::size_t kMaxScannedWindows = 500;
/// How many characters of a title the lookup compares.
inline constexpr std::size_t kComparedTitleLength = 24;

/// A top-level window with a title.
struct TopWindow {
  std::uint64_t id = 0;  ///< the window system's handle
  std::string title;     ///< its first kComparedTitleLength characters, UTF-8
};

/// Drives the window system's keyboard and looks at its windows.
class KeyDriver {
 public:
  virtual ~KeyDriver() = default;
  /// The titled top-level windows, at most kMaxScannedWindows of them.
  virtual std::vector<TopWindow> Windows() = 0;
  /// Asks for the keyboard focus to go to `window` (raised, activated); false when it
  /// cannot take it yet (not shown, gone).
  virtual bool Focus(std::uint64_t window) = 0;
  /// Whether `window` or one of its children has the keyboard focus.
  virtual bool HasFocus(std::uint64_t window) = 0;
  /// Presses and releases keys in the focused window, each one processed by the window
  /// system before the next; fails when a character has no key and none can be made.
  virtual Result<void> Send(std::span<const KeyEvent> events) = 0;
  /// The display programs started for the transfer are to use ("DISPLAY").
  virtual std::string DisplayName() const = 0;
};

/// The first of `windows` whose title, cut to kComparedTitleLength characters, is `title`.
const TopWindow* FindWindowTitled(const std::vector<TopWindow>& windows, std::string_view title);

/// The driver of the display `display` ("" for the session's own). Without one (no X11
/// built in, no X server, a Wayland session without XWayland) it fails with the message
/// that the transfer needs X11.
Result<std::unique_ptr<KeyDriver>> MakeKeyDriver(const std::string& display = {});

}  // namespace chwr
