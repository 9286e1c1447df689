#include "platform/atoms.h"

#include <cwchar>
#include <cwctype>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {
struct AtomTable {
  std::mutex lock;
  std::unordered_map<std::wstring, UINT> byFoldedName;
  std::vector<std::wstring> names;  // index = value - kFirstRegisteredAtom
};

AtomTable& Table() {
  static AtomTable table;
  return table;
}

std::wstring Fold(const wchar_t* s) {
  std::wstring out;
  for (; *s; ++s) out.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*s))));
  return out;
}

UINT Register(LPCWSTR name) {
  if (!name || !*name || std::wcslen(name) > 255) return 0;
  AtomTable& t = Table();
  std::lock_guard<std::mutex> g(t.lock);
  std::wstring key = Fold(name);
  auto it = t.byFoldedName.find(key);
  if (it != t.byFoldedName.end()) return it->second;
  if (t.names.size() > platform::kLastRegisteredAtom - platform::kFirstRegisteredAtom) return 0;
  UINT value = platform::kFirstRegisteredAtom + static_cast<UINT>(t.names.size());
  t.names.emplace_back(name);
  t.byFoldedName.emplace(std::move(key), value);
  return value;
}
}  // namespace

UINT RegisterWindowMessageW(LPCWSTR name) { return Register(name); }
UINT RegisterClipboardFormatW(LPCWSTR name) { return Register(name); }

int GetClipboardFormatNameW(UINT format, LPWSTR out, int max) {
  if (!out || max <= 0) return 0;
  AtomTable& t = Table();
  std::lock_guard<std::mutex> g(t.lock);
  if (format < platform::kFirstRegisteredAtom) return 0;
  std::size_t index = format - platform::kFirstRegisteredAtom;
  if (index >= t.names.size()) return 0;
  const std::wstring& n = t.names[index];
  std::size_t len = n.size() < static_cast<std::size_t>(max - 1) ? n.size() : static_cast<std::size_t>(max - 1);
  n.copy(out, len);
  out[len] = 0;
  return static_cast<int>(len);
}
