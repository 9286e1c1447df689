#include "platform/shortcuts.h"

#include <mutex>

#include "platform/input.h"

namespace platform {
namespace {

struct Registry {
  std::mutex mu;
  bool set = false;
  std::vector<HookShortcut> shortcuts;
  std::function<void()> listener;
};

Registry& R() {
  static Registry* r = new Registry;  // used until the process ends
  return *r;
}

std::vector<HookShortcut> Initial() {
  std::vector<HookShortcut> out;
  out.push_back(HookShortcut{'V', false, false, true, true});
  for (int vk : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN}) out.push_back(HookShortcut{vk, false, false, true, false});
  return out;
}

}  // namespace

void SetHookShortcuts(const std::vector<HookShortcut>& shortcuts) {
  std::function<void()> listener;
  {
    std::lock_guard<std::mutex> g(R().mu);
    R().set = true;
    R().shortcuts = shortcuts;
    listener = R().listener;
  }
  if (listener) listener();
}

std::vector<HookShortcut> HookShortcuts() {
  std::lock_guard<std::mutex> g(R().mu);
  return R().set ? R().shortcuts : Initial();
}

void SetHookShortcutsListener(std::function<void()> listener) {
  std::lock_guard<std::mutex> g(R().mu);
  R().listener = std::move(listener);
}

}  // namespace platform
