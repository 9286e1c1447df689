// The paste path: a record back on the clipboard, and the target told to
// paste it.
#include <algorithm>
#include <cwctype>
#include <iterator>
#include <string>
#include <typeinfo>
#include <vector>

#include "pastiqhook.h"
#include "platform/clipboard.h"
#include "platform/input.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "pq/mgr.h"
#include "pq/record.h"

namespace pq {
namespace {

// Controls that paste on WM_PASTE.
const wchar_t* const kPasteMessageClasses[] = {L"EDIT",        L"RICHEDIT50W", L"RICHEDITCEA", L"RICHEDITCEW",
                                               L"RICHEDIT20A", L"RICHEDIT",    L"RICHEDIT20W"};
// Windows that paste on the toolkit's paste command.
const wchar_t* const kPasteCommandClasses[] = {L"DummyDummyTest"};
constexpr WPARAM kPasteCommandId = 0xE125;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[200] = {};
  GetClassNameW(hwnd, name, static_cast<int>(std::size(name)));
  return name;
}

template <std::size_t N>
bool InList(const std::wstring& name, const wchar_t* const (&list)[N]) {
  auto upper = [](std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
  };
  const std::wstring u = upper(name);
  return std::any_of(std::begin(list), std::end(list), [&](const wchar_t* c) { return upper(c) == u; });
}

bool KeyDown(int vk) { return (static_cast<USHORT>(GetAsyncKeyState(vk)) & 0x8000) != 0; }

INPUT Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

// Takes out every item of a type whose paste switch is off. Our own tag
// always stays: it is what keeps a paste from being recorded again.
void RemoveExcludedItems(DataObject& d) {
  std::vector<Item*>& items = d.Items();
  for (const ItemType* type : ItemType::GetItemTypes()) {
    if (type->GetTypeInfo() == typeid(PastiqTagItem)) continue;
    if (ItemType::IsPasteEnabled(type->GetFormat())) continue;
    std::vector<Item*> kept;
    for (Item* item : items) {
      if (item && typeid(*item) == type->GetTypeInfo()) {
        delete item;
      } else {
        kept.push_back(item);
      }
    }
    items.swap(kept);
  }
}

}  // namespace

bool Mgr::CopyToClipboard(const RecordPtr& record, RecordList* source) {
  if (!record) return false;
  DataObject* d = nullptr;
  try {
    d = record->CreateDataObject(source);
  } catch (...) {
    d = nullptr;  // a damaged item block: nothing to put there
  }
  if (!d) return false;
  if (clipboardObject_) clipboardObject_->Release();
  clipboardObject_ = d;
  RemoveExcludedItems(*d);
  reactToClipboard_ = false;
  const HRESULT hr = OleSetClipboard(d);
  reactToClipboard_ = true;
  return hr == S_OK;
}

bool Mgr::PasteRecord(const RecordPtr& record, RecordList* source) {
  if (!WaitForTargetIdle()) return false;
  if (!CopyToClipboard(record, source)) return false;
  return Paste();
}

bool Mgr::Paste() {
  HWND target = GetTargetWindow();
  if (!IsWindow(target)) {
    PostMessageW(window_, WM_PASTE_KEYSTROKES, 0, 0);
    return false;
  }
  const std::wstring name = ClassOf(target);
  if (InList(name, kPasteMessageClasses)) {
    PostMessageW(target, WM_PASTE, 0, 0);
    return true;
  }
  if (InList(name, kPasteCommandClasses)) {
    PostMessageW(target, WM_COMMAND, kPasteCommandId, 0);
    return true;
  }
  ActivateTarget();
  // The keys go out on a later turn of the loop, once the activation took.
  PostMessageW(window_, WM_PASTE_KEYSTROKES, 0, 0);
  return true;
}

bool Mgr::ActivateTarget() {
  HWND front = GetForegroundWindow();
  if (IsWindow(front)) {
    const DWORD thread = GetWindowThreadProcessId(front, nullptr);
    const DWORD trayThread = trayWindow_ ? GetWindowThreadProcessId(trayWindow_, nullptr) : 0;
    if (thread != platform::GuiThreadId() && (trayThread == 0 || thread != trayThread)) return false;
  }
  HWND target = GetTargetWindow();
  if (IsWindow(target) && SetForegroundWindow(target)) {
    Sleep(20);
    return true;
  }
  return false;
}

void Mgr::OnPasteKeystrokes() {
  if (!IsWindow(GetTargetWindow())) return;
  if (!WaitForTargetIdle()) return;
  // A V the user still holds would be doubled.
  if (KeyDown('V')) return;
  const bool ctrlDown = KeyDown(VK_CONTROL);
  const bool altDown = KeyDown(VK_MENU);

  std::vector<INPUT> keys;
  if (altDown) keys.push_back(Key(VK_MENU, true));
  if (!ctrlDown) keys.push_back(Key(VK_CONTROL, false));
  keys.push_back(Key('V', false));
  keys.push_back(Key('V', true));
  if (!ctrlDown) keys.push_back(Key(VK_CONTROL, true));
  if (altDown) keys.push_back(Key(VK_MENU, false));

  // Our own keyboard hook must not take the typed keys for a shortcut.
  Helper_PauseMonitorKeyboard();
  SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT));
  Helper_ResumeMonitorKeyboard();
}

}  // namespace pq
