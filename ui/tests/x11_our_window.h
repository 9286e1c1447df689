#pragma once
// One of the program's top-level windows as another client sees it on the
// display: the viewable window, anywhere under the root (the window manager
// reparents it), that carries our class property with the value `cls`; 0
// when none does.
#include <X11/Xlib.h>

#include <functional>
#include <string>

namespace x11test {

inline Window FindOurWindow(Display* dpy, const std::string& cls) {
  const Atom classAtom = XInternAtom(dpy, "_PASTIQ_CLASS", False);
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
      if (match && XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable) return w;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = walk(children[i]);
    if (children) XFree(children);
    return found;
  };
  return walk(DefaultRootWindow(dpy));
}

}  // namespace x11test
