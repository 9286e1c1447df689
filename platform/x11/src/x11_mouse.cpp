// Mouse buttons for the mouse hooks: while one is installed, every button
// press anywhere on the display is seen through XInput 2 raw events on the
// root window, which take nothing from the client clicked (a pointer grab
// would steal the click), and goes through the hook chain of the window
// under the pointer.
#include <X11/extensions/XInput2.h>

#include "../../src/desktop_internal.h"
#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

namespace pd = platform::detail;

struct MouseState {
  int opcode = -1;  // the XInput extension's major opcode; -1: none usable
  bool watching = false;
};

MouseState ms;

void Select(bool on) {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  if (on) {
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
  }
  XIEventMask mask{};
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof bits;
  mask.mask = bits;
  Trap trap;
  XISelectEvents(C().dpy, C().root, &mask, 1);
  if (trap.Failed()) Warn("the mouse buttons cannot be watched: a click outside the menu window will not close it");
}

// The button message of an X button; 0 for the wheel and the extra buttons.
UINT MessageOf(int button, bool down) {
  switch (button) {
    case Button1:
      return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case Button2:
      return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    case Button3:
      return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default:
      return 0;
  }
}

}  // namespace

void InitMouse() {
  int event = 0, error = 0;
  if (!XQueryExtension(C().dpy, "XInputExtension", &ms.opcode, &event, &error)) {
    ms.opcode = -1;
    return;
  }
  // Raw events reach every client that asks for them, grabs or not, from 2.1.
  int major = 2, minor = 2;
  if (XIQueryVersion(C().dpy, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) ms.opcode = -1;
}

void ShutdownMouse() {
  if (ms.watching && ms.opcode >= 0) Select(false);
  ms = MouseState{};
}

void UpdateMouseWatch() {
  const bool want = ms.opcode >= 0 && pd::AnyHook(WH_MOUSE);
  if (want == ms.watching) return;
  ms.watching = want;
  Select(want);
  // Watching before the caller goes on: a click right after the hook is
  // installed must reach it.
  XSync(C().dpy, False);
  NoteQueuedEvents();
}

bool OnMouseEvent(XEvent& ev) {
  if (ev.type != GenericEvent || ev.xcookie.extension != ms.opcode) return false;
  if (!XGetEventData(C().dpy, &ev.xcookie)) return true;
  const int type = ev.xcookie.evtype;
  const int button = type == XI_RawButtonPress || type == XI_RawButtonRelease
                         ? static_cast<const XIRawEvent*>(ev.xcookie.data)->detail
                         : 0;
  const Time time = type == XI_RawButtonPress || type == XI_RawButtonRelease
                        ? static_cast<const XIRawEvent*>(ev.xcookie.data)->time
                        : CurrentTime;
  XFreeEventData(C().dpy, &ev.xcookie);
  const UINT msg = MessageOf(button, type == XI_RawButtonPress);
  if (!ms.watching || !msg) return true;
  if (time != CurrentTime) C().lastTime = time;
  // Raw events carry no position: the pointer is asked where it is, which
  // is where it was pressed unless it moved meanwhile.
  POINT pt{0, 0};
  if (HWND target = WindowAtPointer(&pt)) pd::InjectMouse(target, msg, pt);
  return true;
}

}  // namespace platform::x11::detail
