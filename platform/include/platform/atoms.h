#pragma once
// The process-wide table of registered names. Registered window messages and
// registered clipboard formats share one range (0xC000 to 0xFFFF), as they do
// on the system we stand in for; a name maps to the same value for the life
// of the process, compared without regard to letter case.
#include "platform/types.h"

UINT RegisterWindowMessageW(LPCWSTR name);
UINT RegisterClipboardFormatW(LPCWSTR name);
// Copies the registered name of `format` (truncated to max - 1 characters and
// terminated) and returns its length; 0 when the value is not registered.
int GetClipboardFormatNameW(UINT format, LPWSTR out, int max);

namespace platform {
constexpr UINT kFirstRegisteredAtom = 0xC000;
constexpr UINT kLastRegisteredAtom = 0xFFFF;
}  // namespace platform
