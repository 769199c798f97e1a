// Windows made straight on the X server, kept apart from the tests, whose Qt and
// GoogleTest headers clash with Xlib's macros.
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

}  // namespace chwr::testing
