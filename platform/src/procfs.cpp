// Processes and their mapped files as /proc reports them.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

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

std::string Link(const std::string& path) {
  char buf[4096];
  ssize_t n = readlink(path.c_str(), buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n));
}

// Parent pid and thread count from /proc/PID/stat (fields 4 and 20; the
// command name before them may hold spaces and parentheses).
void ReadStat(DWORD pid, ProcessInfo* p) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(f, line)) return;
  std::size_t close = line.rfind(')');
  if (close == std::string::npos) return;
  std::istringstream rest(line.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 20 && rest >> field; ++i) {
    if (i == 4) p->parentPid = static_cast<DWORD>(std::strtoul(field.c_str(), nullptr, 10));
    if (i == 20) p->threadCount = static_cast<DWORD>(std::strtoul(field.c_str(), nullptr, 10));
  }
}

}  // namespace

std::vector<ProcessInfo> ProcFsProcesses() {
  std::vector<ProcessInfo> out;
  DIR* dir = opendir("/proc");
  if (!dir) return out;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    ProcessInfo p;
    p.pid = static_cast<DWORD>(std::strtoul(name.c_str(), nullptr, 10));
    p.exePath = FromUtf8(Link("/proc/" + name + "/exe"));
    ReadStat(p.pid, &p);
    out.push_back(std::move(p));
  }
  closedir(dir);
  std::sort(out.begin(), out.end(), [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
  return out;
}

bool ProcFsModules(DWORD pid, std::vector<ModuleInfo>* out) {
  out->clear();
  std::string base = "/proc/" + std::to_string(pid);
  std::string exe = Link(base + "/exe");
  std::ifstream maps(base + "/maps");
  if (exe.empty() || !maps) return false;
  struct Span {
    std::uintptr_t lo = ~std::uintptr_t{0};
    std::uintptr_t hi = 0;
  };
  std::map<std::string, Span> files;
  std::string line;
  const std::size_t kMaxLines = 1 << 20;  // a bound on what one process may list
  for (std::size_t n = 0; n < kMaxLines && std::getline(maps, line); ++n) {
    std::size_t slash = line.find(" /");
    if (slash == std::string::npos) continue;
    std::string path = line.substr(slash + 1);
    if (path.size() > 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0) path.resize(path.size() - 10);
    char* end = nullptr;
    std::uintptr_t lo = std::strtoull(line.c_str(), &end, 16);
    if (!end || *end != '-') continue;
    std::uintptr_t hi = std::strtoull(end + 1, nullptr, 16);
    Span& s = files[path];
    s.lo = std::min(s.lo, lo);
    s.hi = std::max(s.hi, hi);
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
