#pragma once
// One of the program's top-level windows as another client sees it on the
// display: the viewable window, anywhere under the root (the window manager
// reparents it), that carries our class property with the value `cls`; 0
// when none does. Windows destroyed while the tree is walked are passed
// over (Xlib's default handler would end the process for their BadWindow).
#include <X11/Xlib.h>

#include <functional>
#include <string>

namespace x11test {

struct OurWindow {
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;  // on the screen
};

inline OurWindow FindOurWindow(Display* dpy, const std::string& cls) {
  OurWindow out;
  const Atom classAtom = XInternAtom(dpy, "_PASTIQ_CLASS", False);
  XSync(dpy, False);
  XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) -> int { return 0; });
  std::function<Window(Window)> walk = [&](Window w) -> Window {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, w, classAtom, 0, 64, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
      const bool match = format == 8 && std::string(reinterpret_cast<char*>(data), count) == cls;
      XFree(data);
      XWindowAttributes attributes;
      if (match && XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable) {
        Window child = 0;
        XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &out.x, &out.y, &child);
        out.width = attributes.width;
        out.height = attributes.height;
        return w;
      }
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = walk(children[i]);
    if (children) XFree(children);
    return found;
  };
  out.window = walk(DefaultRootWindow(dpy));
  XSync(dpy, False);
  XSetErrorHandler(old);
  return out;
}

}  // namespace x11test
