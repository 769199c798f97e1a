/* A small X client for what xdotool cannot do, built and used by scripts/monkey.sh.
   "ping" sends _NET_WM_PING and waits for the answer: a hung event loop never gives one,
   while the X server itself would answer any query about the window. "close" asks a
   window to close as a window manager's close button does. "dialogs" names the focused
   window and lists the program's other windows that take input (there is no window
   manager, so no "active window" to ask about). */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static int gone;
static int OnError(Display* d, XErrorEvent* e) {
  (void)d;
  if (e->error_code == BadWindow) gone = 1;
  return 0;
}

static unsigned char* Property(Display* d, Window w, const char* name, Atom type,
                               unsigned long* count) {
  Atom actual;
  int format;
  unsigned long after;
  unsigned char* data = NULL;
  *count = 0;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, type, &actual,
                         &format, count, &after, &data) != Success ||
      !data || *count == 0) {
    if (data) XFree(data);
    return NULL;
  }
  return data;
}

/* Prints "focus ID", then "ID NAME" for each mapped dialog of process PID other than
   MAIN, bottom-most first. Menus, tooltips and drop-down lists bypass the window
   manager; a toolbar torn off the window is a utility window, no dialog. */
static int Dialogs(Display* d, long pid, Window main) {
  Window focus, rootReturn, parent, *children = NULL;
  int revert;
  unsigned int n = 0;
  XGetInputFocus(d, &focus, &revert);
  printf("focus %lu\n", (unsigned long)focus);
  if (!XQueryTree(d, DefaultRootWindow(d), &rootReturn, &parent, &children, &n)) return 0;
  for (unsigned int i = 0; i < n; ++i) {
    XWindowAttributes a;
    gone = 0;
    if (children[i] == main || !XGetWindowAttributes(d, children[i], &a) || gone) continue;
    if (a.map_state != IsViewable || a.override_redirect) continue;
    unsigned long count;
    unsigned char* p = Property(d, children[i], "_NET_WM_PID", XA_CARDINAL, &count);
    const long owner = p ? (long)*(unsigned long*)p : -1;
    if (p) XFree(p);
    if (owner != pid) continue;
    p = Property(d, children[i], "_NET_WM_WINDOW_TYPE", XA_ATOM, &count);
    const Atom type = p ? *(Atom*)p : None;
    if (p) XFree(p);
    if (type != XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False)) continue;
    unsigned char* name =
        Property(d, children[i], "_NET_WM_NAME", XInternAtom(d, "UTF8_STRING", False), &count);
    printf("%lu %s\n", (unsigned long)children[i], name ? (char*)name : "");
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return 0;
}

/* xwin ping WINDOW MILLISECONDS: 0 answered, 1 no answer in time, 2 the window is gone.
   xwin close WINDOW.   xwin dialogs PID MAIN_WINDOW. */
int main(int argc, char** argv) {
  if (argc < 3) return 3;
  Display* d = XOpenDisplay(NULL);
  if (!d) return 3;
  XSetErrorHandler(OnError);
  if (strcmp(argv[1], "dialogs") == 0 && argc == 4)
    return Dialogs(d, atol(argv[2]), strtoul(argv[3], NULL, 0));
  const int close = strcmp(argv[1], "close") == 0;
  const Window w = strtoul(argv[2], NULL, 0), root = DefaultRootWindow(d);
  const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  const Atom what = XInternAtom(d, close ? "WM_DELETE_WINDOW" : "_NET_WM_PING", False);
  /* Qt sends its answer to the root window with StructureNotify in the mask. */
  XSelectInput(d, root, StructureNotifyMask | SubstructureNotifyMask);
  const long stamp = (long)(getpid() ^ time(NULL)) & 0x7fffffff;
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = protocols;
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)what;
  e.xclient.data.l[1] = close ? CurrentTime : stamp;
  e.xclient.data.l[2] = (long)w;
  XSendEvent(d, w, False, NoEventMask, &e);
  XSync(d, False);
  if (gone) return 2;
  if (close) return 0;
  const long limit = argc > 3 ? atol(argv[3]) : 10000;
  struct timespec t0, now;
  clock_gettime(CLOCK_MONOTONIC, &t0);
  for (;;) {
    while (XPending(d)) {
      XEvent r;
      XNextEvent(d, &r);
      if (r.type == ClientMessage && r.xclient.message_type == protocols &&
          (Atom)r.xclient.data.l[0] == what && r.xclient.data.l[1] == stamp)
        return 0;
      /* The program died (its windows go with its connection) or closed the window. */
      if (r.type == DestroyNotify && r.xdestroywindow.window == w) return 2;
    }
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long left =
        limit - (now.tv_sec - t0.tv_sec) * 1000 - (now.tv_nsec - t0.tv_nsec) / 1000000;
    if (left <= 0) return 1;
    struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, (int)left);
  }
}
