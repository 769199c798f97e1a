// The keystroke driver on X11: XTest presses the keys, the EWMH client list (or, without
// a window manager, the root window's children) gives the windows.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>

#include "keys/key_driver.h"
#include "platform_messages.h"
#include "text/cp932.h"

namespace chwr {
namespace {

// Windows come and go while they are read: an error about one that is gone is no fault.
// The handler is the process's own, so it is ours only while the driver is at work.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy) : dpy_(dpy), previous_(XSetErrorHandler(IgnoreErrors)) {}
  ~ErrorTrap() {
    XSync(dpy_, False);
    XSetErrorHandler(previous_);
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

 private:
  Display* dpy_;
  int (*previous_)(Display*, XErrorEvent*);
};

KeySym NamedKeySym(NamedKey key) {
  switch (key) {
    case NamedKey::kBackspace:
      return XK_BackSpace;
    case NamedKey::kBreak:
      return XK_Break;
    case NamedKey::kCapsLock:
      return XK_Caps_Lock;
    case NamedKey::kDelete:
      return XK_Delete;
    case NamedKey::kDown:
      return XK_Down;
    case NamedKey::kEnd:
      return XK_End;
    case NamedKey::kEnter:
      return XK_Return;
    case NamedKey::kEscape:
      return XK_Escape;
    case NamedKey::kHelp:
      return XK_Help;
    case NamedKey::kHome:
      return XK_Home;
    case NamedKey::kInsert:
      return XK_Insert;
    case NamedKey::kLeft:
      return XK_Left;
    case NamedKey::kNumLock:
      return XK_Num_Lock;
    case NamedKey::kPageDown:
      return XK_Page_Down;
    case NamedKey::kPageUp:
      return XK_Page_Up;
    case NamedKey::kPrintScreen:
      return XK_Print;
    case NamedKey::kRight:
      return XK_Right;
    case NamedKey::kScrollLock:
      return XK_Scroll_Lock;
    case NamedKey::kTab:
      return XK_Tab;
    case NamedKey::kUp:
      return XK_Up;
    case NamedKey::kAdd:
      return XK_KP_Add;
    case NamedKey::kSubtract:
      return XK_KP_Subtract;
    case NamedKey::kMultiply:
      return XK_KP_Multiply;
    case NamedKey::kDivide:
      return XK_KP_Divide;
    case NamedKey::kNone:
      return NoSymbol;
    default:
      return XK_F1 + (static_cast<int>(key) - static_cast<int>(NamedKey::kF1));
  }
}

KeySym ModifierKeySym(Modifier m) {
  switch (m) {
    case Modifier::kShift:
      return XK_Shift_L;
    case Modifier::kControl:
      return XK_Control_L;
    case Modifier::kAlt:
      return XK_Alt_L;
    case Modifier::kNone:
      break;
  }
  return NoSymbol;
}

// Latin-1 characters are their own keysyms; every other one has its Unicode keysym.
KeySym CharacterKeySym(char32_t c) {
  if (c == U'\t') return XK_Tab;
  if (c == U'\n' || c == U'\r') return XK_Return;
  if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF)) return static_cast<KeySym>(c);
  return static_cast<KeySym>(0x01000000 | c);
}

class X11KeyDriver final : public KeyDriver {
 public:
  X11KeyDriver(Display* display, std::string name) : dpy_(display), name_(std::move(name)) {
    XDisplayKeycodes(dpy_, &minCode_, &maxCode_);
    ReadKeyboard();
    for (int code = minCode_; code <= maxCode_; ++code) {
      bool empty = true;
      for (int level = 0; level < perCode_; ++level) empty = empty && Sym(code, level) == NoSymbol;
      if (empty) spare_.push_back(static_cast<KeyCode>(code));
    }
  }

  // The keys lent to characters go back to being free; until now a program may still have
  // been reading its queue of keys with the lent meaning.
  ~X11KeyDriver() override {
    {
      ErrorTrap trap(dpy_);
      for (const auto& [sym, code] : lent_) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(dpy_, code, 2, none, 1);
      }
    }
    XCloseDisplay(dpy_);
  }

  std::vector<TopWindow> Windows() override {
    ErrorTrap trap(dpy_);
    std::vector<TopWindow> found;
    const Window root = DefaultRootWindow(dpy_);
    std::vector<Window> candidates = ClientList(root);
    if (candidates.empty()) {
      // No window manager keeps a list: the top-level windows are the root's children, and
      // a manager without the list puts each client inside a frame of its own.
      for (Window child : Children(root)) {
        candidates.push_back(child);
        for (Window inner : Children(child)) candidates.push_back(inner);
      }
    }
    for (Window w : candidates) {
      if (found.size() == kMaxScannedWindows) break;
      std::string title = Title(w);
      if (title.empty()) continue;
      std::u32string cut = Utf8ToUtf32(title);
      if (cut.size() > kComparedTitleLength) cut.resize(kComparedTitleLength);
      found.push_back({w, Utf32ToUtf8(cut)});
    }
    return found;
  }

  bool Focus(std::uint64_t window) override {
    ErrorTrap trap(dpy_);
    const Window w = static_cast<Window>(window);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(dpy_, w, &attributes) || attributes.map_state != IsViewable) {
      return false;
    }
    XRaiseWindow(dpy_, w);
    const Atom active = XInternAtom(dpy_, "_NET_ACTIVE_WINDOW", False);
    if (WindowManagerPresent()) {
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = w;
      e.xclient.message_type = active;
      e.xclient.format = 32;
      e.xclient.data.l[0] = 2;  // a pager: the request comes from the user
      e.xclient.data.l[1] = CurrentTime;
      XSendEvent(dpy_, DefaultRootWindow(dpy_), False,
                 SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else {
      XSetInputFocus(dpy_, w, RevertToParent, CurrentTime);
    }
    XSync(dpy_, False);
    return true;
  }

  bool HasFocus(std::uint64_t window) override {
    ErrorTrap trap(dpy_);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    const Window root = DefaultRootWindow(dpy_);
    for (Window w = focus; w != None && w != PointerRoot && w != root;) {
      if (w == static_cast<Window>(window)) return true;
      Window r = None, parent = None, *children = nullptr;
      unsigned count = 0;
      if (!XQueryTree(dpy_, w, &r, &parent, &children, &count)) break;
      if (children) XFree(children);
      w = parent;
    }
    return false;
  }

  Result<void> Send(std::span<const KeyEvent> events) override {
    ErrorTrap trap(dpy_);
    // Caps Lock left on would turn every letter of the path into its other case. It is
    // released while the keys go and locked again after, unless the keys press it
    // themselves: then its state is theirs.
    const bool pressesCapsLock = std::any_of(events.begin(), events.end(), [](const KeyEvent& e) {
      return e.named == NamedKey::kCapsLock;
    });
    XkbStateRec state{};
    const bool unlock = !pressesCapsLock && XkbGetState(dpy_, XkbUseCoreKbd, &state) == Success &&
                        (state.locked_mods & LockMask) != 0;
    if (unlock) XkbLockModifiers(dpy_, XkbUseCoreKbd, LockMask, 0);
    auto sent = SendKeys(events);
    if (unlock) XkbLockModifiers(dpy_, XkbUseCoreKbd, LockMask, LockMask);
    XSync(dpy_, False);
    return sent;
  }

  std::string DisplayName() const override { return name_; }

 private:
  Result<void> SendKeys(std::span<const KeyEvent> events) {
    for (const KeyEvent& e : events) {
      if (e.modifier != Modifier::kNone) held_[static_cast<int>(e.modifier)] = e.down;
      const KeySym sym = e.modifier != Modifier::kNone ? ModifierKeySym(e.modifier)
                         : e.named != NamedKey::kNone  ? NamedKeySym(e.named)
                                                       : CharacterKeySym(e.character);
      if (!Press(sym, e.down, e.modifier == Modifier::kNone && e.named == NamedKey::kNone)) {
        const char* name = XKeysymToString(sym);
        const std::string shown = e.character ? Utf32ToUtf8(std::u32string(1, e.character))
                                              : std::string(name ? name : "?");
        return Fail(msg::NoKeyForCharacter(shown));
      }
    }
    return {};
  }

  struct Key {
    KeyCode code = 0;
    bool shift = false;  // Shift is pressed with it to type the character
  };

  void ReadKeyboard() {
    const int count = maxCode_ - minCode_ + 1;
    KeySym* syms = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(minCode_), count, &perCode_);
    map_.assign(syms, syms + static_cast<std::size_t>(count) * static_cast<std::size_t>(perCode_));
    XFree(syms);
  }

  KeySym Sym(int code, int level) const {
    if (level >= perCode_) return NoSymbol;
    return map_[static_cast<std::size_t>((code - minCode_) * perCode_ + level)];
  }

  // The key that types `sym` at the first or the shifted level; a free key lent to it
  // when none does.
  std::optional<Key> KeyFor(KeySym sym) {
    for (int level = 0; level < 2; ++level) {
      for (int code = minCode_; code <= maxCode_; ++code) {
        if (Sym(code, level) == sym) return Key{static_cast<KeyCode>(code), level == 1};
      }
    }
    if (spare_.empty() && lent_.empty()) return std::nullopt;
    KeyCode code;
    if (!spare_.empty()) {
      code = spare_.back();
      spare_.pop_back();
    } else {
      // Every free key is lent: the one lent longest ago serves again.
      auto oldest = std::min_element(lent_.begin(), lent_.end(), [&](auto& a, auto& b) {
        return order_[a.first] < order_[b.first];
      });
      code = oldest->second;
      lent_.erase(oldest);
    }
    KeySym both[2] = {sym, sym};
    XChangeKeyboardMapping(dpy_, code, 2, both, 1);
    XSync(dpy_, False);
    ReadKeyboard();
    lent_[sym] = code;
    order_[sym] = ++lendings_;
    return Key{code, false};
  }

  // False when no key types `sym` and none is free to be lent to it.
  bool Press(KeySym sym, bool down, bool character) {
    std::optional<Key> key;
    if (!down && pressed_.contains(sym)) {
      key = pressed_[sym];
      pressed_.erase(sym);
    } else {
      key = KeyFor(sym);
    }
    if (!key) return false;
    // A character on a shifted level gets Shift unless the keys hold it already.
    const bool addShift = character && key->shift && !held_[static_cast<int>(Modifier::kShift)];
    const KeyCode shift = XKeysymToKeycode(dpy_, XK_Shift_L);
    if (down) {
      pressed_[sym] = *key;
      if (addShift) Fake(shift, true);
      Fake(key->code, true);
    } else {
      Fake(key->code, false);
      if (addShift) Fake(shift, false);
    }
    return true;
  }

  // "Waiting until the keys are processed": the server has handled each key before the next.
  void Fake(KeyCode code, bool down) {
    XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
    XSync(dpy_, False);
  }

  bool WindowManagerPresent() {
    const Atom check = XInternAtom(dpy_, "_NET_SUPPORTING_WM_CHECK", True);
    return check != None && !WindowProperty(DefaultRootWindow(dpy_), check, XA_WINDOW).empty();
  }

  std::vector<Window> ClientList(Window root) {
    const Atom list = XInternAtom(dpy_, "_NET_CLIENT_LIST", True);
    if (list == None) return {};
    return WindowProperty(root, list, XA_WINDOW);
  }

  std::vector<Window> WindowProperty(Window w, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<Window> out;
    if (XGetWindowProperty(dpy_, w, property, 0, 4096, False, type, &actual, &format, &count,
                           &after, &data) == Success &&
        data && format == 32) {
      const auto* ids = reinterpret_cast<const unsigned long*>(data);
      out.assign(ids, ids + count);
    }
    if (data) XFree(data);
    return out;
  }

  std::vector<Window> Children(Window w) {
    Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> out;
    if (XQueryTree(dpy_, w, &root, &parent, &children, &count) && children) {
      out.assign(children, children + count);
    }
    if (children) XFree(children);
    return out;
  }

  // _NET_WM_NAME (UTF-8) when the window has it, else WM_NAME in whatever encoding it uses.
  std::string Title(Window w) {
    const Atom netName = XInternAtom(dpy_, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(dpy_, "UTF8_STRING", False);
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(dpy_, w, netName, 0, 1024, False, utf8, &actual, &format, &count, &after,
                           &data) == Success &&
        data && format == 8) {
      title.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data) XFree(data);
    if (!title.empty()) return title;
    XTextProperty text{};
    if (XGetWMName(dpy_, w, &text) && text.value) {
      char** list = nullptr;
      int n = 0;
      if (Xutf8TextPropertyToTextList(dpy_, &text, &list, &n) >= Success && list && n > 0) {
        title = list[0];
      }
      if (list) XFreeStringList(list);
      XFree(text.value);
    }
    return title;
  }

  Display* dpy_;
  std::string name_;
  int minCode_ = 8, maxCode_ = 255, perCode_ = 1;
  std::vector<KeySym> map_;
  std::vector<KeyCode> spare_;
  std::map<KeySym, KeyCode> lent_;
  std::map<KeySym, long> order_;
  long lendings_ = 0;
  std::map<KeySym, Key> pressed_;
  bool held_[4] = {};
};

}  // namespace

Result<std::unique_ptr<KeyDriver>> MakeKeyDriver(const std::string& display) {
  const char* name = display.empty() ? std::getenv("DISPLAY") : display.c_str();
  if (!name || !*name) return Fail(msg::kTransferNeedsX11);
  Display* dpy = XOpenDisplay(name);
  if (!dpy) return Fail(msg::kTransferNeedsX11);
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(dpy, &event, &error, &major, &minor)) {
    XCloseDisplay(dpy);
    return Fail(msg::kTransferNeedsX11);
  }
  return std::unique_ptr<KeyDriver>(new X11KeyDriver(dpy, name));
}

}  // namespace chwr
