// A small X client for the tests: a window that stands for a text field of
// another application. It reports on its standard output, one line each:
// "READY <window>", "FOCUS", "KEY <keysym> <modifiers>" for every key it
// receives, "CLICK <button>" for every mouse button pressed on it, and
// "PASTE <text>" when Ctrl+V (without Super) makes it paste the CLIPBOARD's
// text, as a real text field does.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return 2;
  int screen = DefaultScreen(dpy);
  Window root = RootWindow(dpy, screen);
  Window w = XCreateSimpleWindow(dpy, root, 10, 10, 300, 120, 1, BlackPixel(dpy, screen), WhitePixel(dpy, screen));
  XClassHint hint{const_cast<char*>("pastiqtestclient"), const_cast<char*>("PastiqTestClient")};
  XSetClassHint(dpy, w, &hint);
  XStoreName(dpy, w, argc > 1 ? argv[1] : "field");
  long pid = getpid();
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  XSelectInput(dpy, w, KeyPressMask | KeyReleaseMask | ButtonPressMask | FocusChangeMask | StructureNotifyMask | PropertyChangeMask);
  XMapWindow(dpy, w);
  Atom clipboard = XInternAtom(dpy, "CLIPBOARD", False);
  Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  Atom prop = XInternAtom(dpy, "PASTE_TARGET", False);
  for (;;) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    switch (ev.type) {
      case MapNotify:
        std::printf("READY %lu\n", static_cast<unsigned long>(w));
        break;
      case FocusIn:
        std::printf("FOCUS\n");
        break;
      case ButtonPress:
        std::printf("CLICK %u\n", ev.xbutton.button);
        break;
      case KeyPress: {
        KeySym sym = XLookupKeysym(&ev.xkey, 0);
        const char* name = XKeysymToString(sym);
        unsigned s = ev.xkey.state;
        std::string mods;
        if (s & ControlMask) mods += "ctrl+";
        if (s & Mod1Mask) mods += "alt+";
        if (s & Mod4Mask) mods += "super+";
        if (s & ShiftMask) mods += "shift+";
        std::printf("KEY %s %s%s\n", name ? name : "?", mods.empty() ? "none" : mods.c_str(),
                    ev.xkey.send_event ? " sent" : "");
        if (sym == XK_v && (s & ControlMask) && !(s & Mod4Mask))
          XConvertSelection(dpy, clipboard, utf8, prop, w, ev.xkey.time);
        break;
      }
      case SelectionNotify: {
        if (ev.xselection.property == None) {
          std::printf("PASTE-FAILED\n");
          break;
        }
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, w, prop, 0, 1 << 20, True, AnyPropertyType, &type, &format, &n, &after, &data);
        std::printf("PASTE %s\n", data ? reinterpret_cast<char*>(data) : "");
        if (data) XFree(data);
        break;
      }
      default:
        break;
    }
    std::fflush(stdout);
  }
}
