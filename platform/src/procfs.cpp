// Processes and their mapped files as /proc reports them.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "platform/backend.h"

namespace platform {
namespace {

// Paths are bytes, UTF-8 by convention; anything else becomes U+FFFD.
std::wstring FromUtf8(const std::string& s) {
  std::wstring out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    bool truncated = extra > 0 && i + static_cast<std::size_t>(extra) >= s.size();
    if (extra < 0 || truncated) {
      out.push_back(L'\uFFFD');
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok || cp > 0x10FFFF) {
      out.push_back(L'\uFFFD');
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(cp));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

std::string Link(const char* path) {
  char buf[4096];
  ssize_t n = readlink(path, buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n));
}

// A whole small /proc file, read with plain calls: these are read once per
// process and capture, so no stream is built for them.
bool ReadSmall(const char* path, std::string* out) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[4096];
  ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  if (n <= 0) return false;
  out->assign(buf, static_cast<std::size_t>(n));
  return true;
}

// Parent pid and thread count from /proc/PID/stat (fields 4 and 20; the
// command name before them may hold spaces and parentheses).
bool ReadStat(const char* path, ProcessInfo* p) {
  std::string line;
  if (!ReadSmall(path, &line)) return false;
  std::size_t close = line.rfind(')');
  if (close == std::string::npos) return false;
  const char* c = line.c_str() + close + 1;
  for (int field = 3; field <= 20 && *c; ++field) {
    while (*c == ' ') ++c;
    char* end = nullptr;
    unsigned long v = std::strtoul(c, &end, 10);
    if (field == 4) p->parentPid = static_cast<DWORD>(v);
    if (field == 20) p->threadCount = static_cast<DWORD>(v);
    while (*c && *c != ' ') ++c;
  }
  return true;
}

bool AllDigits(const char* s) {
  if (!*s) return false;
  for (; *s; ++s)
    if (*s < '0' || *s > '9') return false;
  return true;
}

}  // namespace

std::vector<DWORD> ProcFsProcessIds() {
  std::vector<DWORD> out;
  DIR* dir = opendir("/proc");
  if (!dir) return out;
  while (dirent* e = readdir(dir)) {
    if (AllDigits(e->d_name)) out.push_back(static_cast<DWORD>(std::strtoul(e->d_name, nullptr, 10)));
  }
  closedir(dir);
  std::sort(out.begin(), out.end());
  return out;
}

bool ProcFsProcessDetails(DWORD pid, ProcessInfo* out) {
  *out = ProcessInfo{};
  out->pid = pid;
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/stat", static_cast<unsigned>(pid));
  if (!ReadStat(path, out)) return false;
  std::snprintf(path, sizeof path, "/proc/%u/exe", static_cast<unsigned>(pid));
  out->exePath = FromUtf8(Link(path));
  return true;
}

bool ProcFsModules(DWORD pid, std::vector<ModuleInfo>* out) {
  out->clear();
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%u/exe", static_cast<unsigned>(pid));
  std::string exe = Link(path);
  std::snprintf(path, sizeof path, "/proc/%u/maps", static_cast<unsigned>(pid));
  int fd = exe.empty() ? -1 : open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // The whole listing, bounded: one process may map a great many files.
  const std::size_t kMaxBytes = std::size_t(64) << 20;
  std::string text;
  char buf[65536];
  for (ssize_t n; text.size() < kMaxBytes && (n = read(fd, buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  struct Span {
    std::uintptr_t lo = ~std::uintptr_t{0};
    std::uintptr_t hi = 0;
  };
  std::map<std::string, Span> files;
  Span* last = nullptr;  // a file's mappings come one after another
  std::string lastPath;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string::npos) eol = text.size();
    std::string_view line(text.data() + at, eol - at);
    at = eol + 1;
    std::size_t slash = line.find(" /");
    if (slash == std::string_view::npos) continue;
    std::string_view file = line.substr(slash + 1);
    constexpr std::string_view kDeleted = " (deleted)";
    if (file.size() > kDeleted.size() && file.substr(file.size() - kDeleted.size()) == kDeleted)
      file.remove_suffix(kDeleted.size());
    const char* begin = line.data();
    char* end = nullptr;
    std::uintptr_t lo = std::strtoull(begin, &end, 16);
    if (!end || *end != '-') continue;
    std::uintptr_t hi = std::strtoull(end + 1, nullptr, 16);
    if (!last || file != lastPath) {
      lastPath.assign(file);
      last = &files[lastPath];
    }
    last->lo = std::min(last->lo, lo);
    last->hi = std::max(last->hi, hi);
  }
  std::vector<ModuleInfo> others;
  ModuleInfo main{FromUtf8(exe), 0, 0, true};
  for (auto& [path, span] : files) {
    ModuleInfo m{FromUtf8(path), span.lo, static_cast<DWORD>(std::min<std::uintptr_t>(span.hi - span.lo, 0xFFFFFFFFu)), false};
    if (path == exe) {
      main.base = m.base;
      main.size = m.size;
    } else {
      others.push_back(std::move(m));
    }
  }
  std::sort(others.begin(), others.end(), [](const ModuleInfo& a, const ModuleInfo& b) { return a.base < b.base; });
  out->push_back(std::move(main));
  out->insert(out->end(), others.begin(), others.end());
  return true;
}

}  // namespace platform
