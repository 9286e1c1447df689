#include "platform/registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

enum class Root { kCurrentUser, kLocalMachine, kOther };

struct Key {
  Root root = Root::kOther;
  bool isRun = false;  // the Run key itself, not its root
  REGSAM access = 0;
};

struct KeyTable {
  std::mutex lock;
  std::unordered_map<HKEY, Key> open;
  ULONG_PTR next = 0x1000;
};

KeyTable& Keys() {
  static KeyTable table;
  return table;
}

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kMaxValueBytes = 64 * 1024;

bool IsPredefined(HKEY h, Key& out) {
  if (h == HKEY_CURRENT_USER)
    out = Key{Root::kCurrentUser, false, KEY_ALL_ACCESS};
  else if (h == HKEY_LOCAL_MACHINE)
    out = Key{Root::kLocalMachine, false, KEY_ALL_ACCESS};
  else if (h == HKEY_CLASSES_ROOT || h == HKEY_USERS)
    out = Key{Root::kOther, false, KEY_ALL_ACCESS};
  else
    return false;
  return true;
}

bool Lookup(HKEY h, Key& out) {
  if (IsPredefined(h, out)) return true;
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = t.open.find(h);
  if (it == t.open.end()) return false;
  out = it->second;
  return true;
}

bool EqualNoCase(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b))) return false;
  return *a == *b;
}

bool IsControl(wchar_t c) { return c < 0x20 || c == 0x7F; }

// UTF-8 of a wide text; false for a value that is no Unicode character.
bool ToUtf8(const std::wstring& in, std::string& out) {
  out.clear();
  for (wchar_t wc : in) {
    const unsigned long c = static_cast<unsigned long>(wc);
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

// The value name as a file name: no folder separators, nothing hidden.
bool EntryName(LPCWSTR valueName, std::string& out) {
  if (!valueName || !*valueName) return false;
  const std::wstring name(valueName);
  if (name.size() > 255 || name == L"." || name == L".." || name[0] == L'.') return false;
  for (wchar_t c : name)
    if (c == L'/' || IsControl(c)) return false;
  return ToUtf8(name, out);
}

// Splits a command line the way the program's command line is split:
// blanks separate arguments, double quotes group, 2n backslashes before a
// quote are n backslashes, 2n+1 are n and a literal quote.
std::vector<std::wstring> SplitCommandLine(const std::wstring& s) {
  std::vector<std::wstring> args;
  size_t i = 0;
  const size_t n = s.size();
  for (;;) {
    while (i < n && (s[i] == L' ' || s[i] == L'\t')) ++i;
    if (i >= n) break;
    std::wstring arg;
    bool quoted = false;
    while (i < n) {
      const wchar_t c = s[i];
      if (!quoted && (c == L' ' || c == L'\t')) break;
      if (c == L'\\') {
        size_t j = i;
        while (j < n && s[j] == L'\\') ++j;
        const size_t k = j - i;
        if (j < n && s[j] == L'"') {
          arg.append(k / 2, L'\\');
          if (k % 2) {
            arg += L'"';
            i = j + 1;
          } else {
            i = j;
          }
        } else {
          arg.append(k, L'\\');
          i = j;
        }
        continue;
      }
      if (c == L'"') {
        if (quoted && i + 1 < n && s[i + 1] == L'"') {
          arg += L'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

// One argument of an Exec line: quoted when it holds a reserved character,
// with ", `, $ and \ escaped inside the quotes and % written as %%.
std::wstring ExecArgument(const std::wstring& arg) {
  static const wchar_t kReserved[] = L" \t\n\"'\\><~|&;$*?#()`";
  bool quote = arg.empty();
  for (wchar_t c : arg)
    if (std::wcschr(kReserved, c)) quote = true;
  std::wstring out;
  if (quote) out += L'"';
  for (wchar_t c : arg) {
    if (c == L'%') {
      out += L"%%";
      continue;
    }
    if (quote && (c == L'"' || c == L'`' || c == L'$' || c == L'\\')) out += L'\\';
    out += c;
  }
  if (quote) out += L'"';
  return out;
}

// A desktop entry string value: its backslashes escaped once more.
std::wstring EscapeValue(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (c == L'\\') out += L'\\';
    out += c;
  }
  return out;
}

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = getpwuid(getuid());
    home = pw ? pw->pw_dir : nullptr;
  }
  if (!home || !*home) return std::string();
  return std::string(home) + "/.config";
}

std::string AutostartFolder() {
  const std::string base = ConfigHome();
  return base.empty() ? std::string() : base + "/autostart";
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t pos = 1;; ++pos) {
    pos = path.find('/', pos);
    const std::string part = path.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) break;
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

LSTATUS FromErrno(int e) {
  return (e == EACCES || e == EPERM || e == EROFS) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

// Writes through a temporary file and a rename, so a reader never sees half
// an entry.
LSTATUS WriteFileAtomically(const std::string& folder, const std::string& name, const std::string& content) {
  if (!MakeFolders(folder)) return FromErrno(errno);
  std::string tmpl = folder + "/." + name + ".XXXXXX";
  const int fd = ::mkstemp(&tmpl[0]);
  if (fd < 0) return FromErrno(errno);
  size_t done = 0;
  bool ok = true;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  int err = errno;
  ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  if (!ok) err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(tmpl.c_str(), (folder + "/" + name).c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmpl.c_str());
    return FromErrno(err);
  }
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  Key parent;
  if (!Lookup(hKey, parent)) return ERROR_INVALID_HANDLE;
  Key key{parent.root, parent.isRun, samDesired};
  if (lpSubKey && *lpSubKey) {
    if (parent.isRun || parent.root == Root::kOther || !EqualNoCase(lpSubKey, kRunKey)) return ERROR_FILE_NOT_FOUND;
    key.isRun = true;
  }
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> g(t.lock);
  HKEY handle = reinterpret_cast<HKEY>(t.next);
  t.next += 4;
  t.open[handle] = key;
  *phkResult = handle;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
  Key unused;
  if (IsPredefined(hKey, unused)) return ERROR_SUCCESS;
  KeyTable& t = Keys();
  std::lock_guard<std::mutex> g(t.lock);
  return t.open.erase(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  Key key;
  if (!Lookup(hKey, key)) return ERROR_INVALID_HANDLE;
  if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  // Only the current user's Run key holds values.
  if (!key.isRun || key.root != Root::kCurrentUser) return ERROR_FILE_NOT_FOUND;
  std::string name;
  if (!EntryName(lpValueName, name)) return ERROR_FILE_NOT_FOUND;
  const std::string folder = AutostartFolder();
  if (folder.empty()) return ERROR_FILE_NOT_FOUND;
  if (::unlink((folder + "/" + name + ".desktop").c_str()) != 0)
    return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : FromErrno(errno);
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
  Key key;
  if (!Lookup(hKey, key)) return ERROR_INVALID_HANDLE;
  if (!(key.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (!key.isRun || key.root != Root::kCurrentUser) return ERROR_ACCESS_DENIED;
  if (dwType != REG_SZ || (!lpData && cbData) || cbData > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  std::string name;
  if (!EntryName(lpValueName, name)) return ERROR_INVALID_PARAMETER;

  std::vector<WCHAR> chars(cbData / sizeof(WCHAR) + 1, 0);
  if (cbData) std::memcpy(chars.data(), lpData, cbData / sizeof(WCHAR) * sizeof(WCHAR));
  const std::wstring command(chars.data());  // ends at the first NUL
  for (wchar_t c : command)
    if (IsControl(c)) return ERROR_INVALID_PARAMETER;  // no Exec line can hold it
  const std::vector<std::wstring> args = SplitCommandLine(command);
  if (args.empty() || args[0].empty()) return ERROR_INVALID_PARAMETER;

  std::wstring exec;
  for (const std::wstring& a : args) {
    if (!exec.empty()) exec += L' ';
    exec += ExecArgument(a);
  }
  std::string execUtf8, nameUtf8;
  if (!ToUtf8(EscapeValue(exec), execUtf8) || !ToUtf8(EscapeValue(std::wstring(lpValueName)), nameUtf8))
    return ERROR_INVALID_PARAMETER;
  const std::string content = "[Desktop Entry]\nType=Application\nName=" + nameUtf8 + "\nExec=" + execUtf8 + "\n";
  const std::string folder = AutostartFolder();
  if (folder.empty()) return ERROR_ACCESS_DENIED;
  return WriteFileAtomically(folder, name + ".desktop", content);
}
