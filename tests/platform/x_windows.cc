// Windows made straight on the X server, kept apart from the tests, whose Qt and
// GoogleTest headers clash with Xlib's macros.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstring>
#include <string>

namespace chwr::testing {

// `count` unmapped top-level windows, the first titled `first`, the others "w1", "w2", ...;
// they last until CloseWindows.
void* MakeTitledWindows(const char* display, int count, const char* first) {
  Display* dpy = XOpenDisplay(display);
  if (!dpy) return nullptr;
  for (int i = 0; i < count; ++i) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
    // WM_NAME alone, in UTF-8, as a program that sets no _NET_WM_NAME has it.
    const std::string title = i == 0 ? first : "w" + std::to_string(i);
    XChangeProperty(dpy, w, XA_WM_NAME, XInternAtom(dpy, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
  }
  XSync(dpy, False);
  return dpy;
}

void CloseWindows(void* display) {
  XCloseDisplay(static_cast<Display*>(display));
}

// Locks or releases Caps Lock as its key would; -1 when the display cannot be opened.
int SetCapsLock(const char* display, bool on) {
  Display* dpy = XOpenDisplay(display);
  if (!dpy) return -1;
  XkbLockModifiers(dpy, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
  XSync(dpy, False);
  XCloseDisplay(dpy);
  return 0;
}

// Whether Caps Lock is on; -1 when the display cannot be opened.
int CapsLockOn(const char* display) {
  Display* dpy = XOpenDisplay(display);
  if (!dpy) return -1;
  XkbStateRec state{};
  XkbGetState(dpy, XkbUseCoreKbd, &state);
  XCloseDisplay(dpy);
  return (state.locked_mods & LockMask) != 0 ? 1 : 0;
}

}  // namespace chwr::testing
