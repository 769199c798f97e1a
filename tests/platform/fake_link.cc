/* A stand-in for the data-link program: a window titled "ﾒﾓﾘﾀﾞｲﾔﾙ" that records what it
 * gets in PHONEBOOK.keys (PHONEBOOK being its first argument): "args N FIRST", "pid PID", a line
 * "key KEYSYM STATE" (hex) for every key pressed, flushed at once, and "closed" when it
 * has seen Alt+C followed by O, the last keys of the transfer, and goes away. */
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  char record[4096];
  snprintf(record, sizeof record, "%s.keys", argv[1]);
  FILE* out = fopen(record, "w");
  if (!out) return 2;
  fprintf(out, "args %d %s\npid %d\n", argc - 1, argv[1], (int)getpid());
  fflush(out);
  // Xlib's keyboard extension takes in a changed key mapping only once it has been told
  // to follow the changes: the first key lent to a character would read as no symbol.
  // The core protocol's mapping, refreshed on every MappingNotify, is what a program
  // that reloads its layout on that event (as Wine does) sees.
  XkbIgnoreExtension(True);
  Display* dpy = XOpenDisplay(NULL);
  if (!dpy) return 3;
  Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 200, 100, 0, 0, 0);
  const char* title = "ﾒﾓﾘﾀﾞｲﾔﾙ";
  Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  (const unsigned char*)title, (int)strlen(title));
  long pid = getpid();
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  (const unsigned char*)&pid, 1);
  XSelectInput(dpy, w, KeyPressMask);
  XMapWindow(dpy, w);
  XFlush(dpy);
  int altC = 0;
  for (;;) {
    XEvent e;
    XNextEvent(dpy, &e);
    if (e.type == MappingNotify) {
      XRefreshKeyboardMapping(&e.xmapping);
      continue;
    }
    if (e.type != KeyPress) continue;
    char text[16];
    KeySym sym = NoSymbol;
    XLookupString(&e.xkey, text, sizeof text, &sym, NULL);
    fprintf(out, "key %lx %x\n", (unsigned long)sym, e.xkey.state);
    fflush(out);
    const int alt = (e.xkey.state & Mod1Mask) != 0;
    if (sym == 'o' && !alt && altC) break;
    if (sym >= XK_Shift_L && sym <= XK_Hyper_R) continue;
    altC = sym == 'c' && alt;
  }
  fprintf(out, "closed\n");
  fclose(out);
  XDestroyWindow(dpy, w);
  XCloseDisplay(dpy);
  return 0;
}
