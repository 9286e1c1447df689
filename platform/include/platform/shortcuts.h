#pragma once
// The key combinations a desktop-wide keyboard hook acts on. On a desktop
// where a hook sees every key this is only information; where a client sees
// only the keys it grabs (X11), the backend grabs these so that the hooks
// get them. The hook library states its combinations here whenever they
// change; until it does, the hook library's initial ones hold (Win+V, and
// Win with the arrows and Enter).
#include <functional>
#include <vector>

#include "platform/types.h"

namespace platform {

struct HookShortcut {
  int vk = 0;  // a virtual key (low byte only)
  bool ctrl = false;
  bool alt = false;
  bool win = false;
  // The popup shortcut: once it is swallowed, every key goes to the hooks
  // until these modifiers are released.
  bool engages = false;
};

void SetHookShortcuts(const std::vector<HookShortcut>& shortcuts);
std::vector<HookShortcut> HookShortcuts();
// Called (on the thread that sets them) whenever the combinations change;
// one listener, null removes it.
void SetHookShortcutsListener(std::function<void()> listener);

}  // namespace platform
