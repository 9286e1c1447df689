#include "shared_state.h"

#include "platform_api.h"

namespace pastiqhook {

SharedHookState& State() {
  // Constant-initialised, so the initial values hold before any code runs.
  static SharedHookState state;
  return state;
}

void OnModuleAttach(HINSTANCE module) {
  std::uintptr_t expected = 0;
  State().module.compare_exchange_strong(expected, AsWord(module));
}

BOOL TakeAndUnhook(Word& field, BOOL absent) {
  std::uintptr_t hook = field.exchange(0);
  if (!hook) return absent;
  return UnhookWindowsHookEx(AsHandle<HHOOK>(hook));
}

namespace {

// The library's entry point, run when a process loads it: the library joins
// the layer's module table, whose handle every hook install names.
__attribute__((constructor)) void AttachLibrary() { OnModuleAttach(platform::RegisterModule(L"pastiqhook")); }

}  // namespace
}  // namespace pastiqhook
