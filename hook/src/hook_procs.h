#pragma once
// The hook procedures the exports install, and the install call they share.
#include "platform_api.h"

namespace pastiqhook {

LRESULT KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT CbtProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT MouseProc(int nCode, WPARAM wParam, LPARAM lParam);
LRESULT GetMessageProc(int nCode, WPARAM wParam, LPARAM lParam);

// Installs a desktop-wide hook (every thread) with the library's module.
HHOOK InstallHook(int idHook, HOOKPROC proc);

}  // namespace pastiqhook
