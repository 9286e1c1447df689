#include "platform/clipformats.h"

#include <cstring>
#include <cwchar>

namespace {
// 0x80..0x9F of Windows-1252; 0 marks the five bytes it leaves undefined.
constexpr char32_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr wchar_t kReplacement = 0xFFFD;

bool AnsiByte(char32_t c, char& out) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    out = static_cast<char>(c);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh1252[i] && kHigh1252[i] == c) {
      out = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

wchar_t FromAnsiByte(unsigned char b) {
  if (b < 0x80 || b >= 0xA0) return static_cast<wchar_t>(b);
  char32_t c = kHigh1252[b - 0x80];
  return c ? static_cast<wchar_t>(c) : kReplacement;
}

bool ValidScalar(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

std::wstring FromUtf8(const unsigned char* s, std::size_t n) {
  std::wstring out;
  std::size_t i = 0;
  while (i < n) {
    unsigned char b = s[i];
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > n) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = true;
    for (int k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[len] || !ValidScalar(c)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(c));
    i += len;
  }
  return out;
}

bool KnownCodePage(UINT cp) { return cp == CP_ACP || cp == 1252 || cp == CP_UTF8; }
}  // namespace

namespace platform {
void AppendUtf8(std::string& out, char32_t c) {
  if (!ValidScalar(c)) c = kReplacement;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}
}  // namespace platform

UINT GetACP() { return 1252; }
LCID GetUserDefaultLCID() { return 0x0409; }
LCID GetThreadLocale() { return 0x0409; }

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int srcLen, LPSTR dst, int dstSize,
                        LPCSTR defaultChar, BOOL* usedDefault) {
  if (!src || dstSize < 0 || !KnownCodePage(codePage) || (dstSize > 0 && !dst)) return 0;
  std::size_t n = srcLen < 0 ? std::wcslen(src) + 1 : static_cast<std::size_t>(srcLen);
  std::string out;
  bool used = false;
  if (codePage == CP_UTF8) {
    for (std::size_t i = 0; i < n; ++i) platform::AppendUtf8(out, static_cast<char32_t>(src[i]));
  } else {
    char fallback = defaultChar ? *defaultChar : '?';
    for (std::size_t i = 0; i < n; ++i) {
      char b;
      if (AnsiByte(static_cast<char32_t>(src[i]), b)) {
        out.push_back(b);
      } else {
        out.push_back(fallback);
        used = true;
      }
    }
  }
  if (usedDefault) *usedDefault = used ? TRUE : FALSE;
  if (out.size() > 0x7FFFFFFF) return 0;
  int need = static_cast<int>(out.size());
  if (dstSize == 0) return need;
  if (need > dstSize) return 0;
  std::memcpy(dst, out.data(), out.size());
  return need;
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR src, int srcLen, LPWSTR dst, int dstSize) {
  if (!src || dstSize < 0 || !KnownCodePage(codePage) || (dstSize > 0 && !dst)) return 0;
  std::size_t n = srcLen < 0 ? std::strlen(src) + 1 : static_cast<std::size_t>(srcLen);
  const auto* bytes = reinterpret_cast<const unsigned char*>(src);
  std::wstring out;
  if (codePage == CP_UTF8) {
    out = FromUtf8(bytes, n);
  } else {
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) out.push_back(FromAnsiByte(bytes[i]));
  }
  if (out.size() > 0x7FFFFFFF) return 0;
  int need = static_cast<int>(out.size());
  if (dstSize == 0) return need;
  if (need > dstSize) return 0;
  std::wmemcpy(dst, out.data(), out.size());
  return need;
}

namespace platform {
std::string WideToAnsi(const std::wstring& s) {
  std::string out;
  out.reserve(s.size());
  for (wchar_t c : s) {
    char b;
    out.push_back(AnsiByte(static_cast<char32_t>(c), b) ? b : '?');
  }
  return out;
}

std::wstring AnsiToWide(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (char c : s) out.push_back(FromAnsiByte(static_cast<unsigned char>(c)));
  return out;
}

std::u16string WideToUtf16(const std::wstring& s) {
  std::u16string out;
  out.reserve(s.size());
  for (wchar_t w : s) {
    char32_t c = static_cast<char32_t>(w);
    if (!ValidScalar(c)) c = kReplacement;
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

std::wstring Utf16ToWide(const char16_t* s, std::size_t units) {
  std::wstring out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    char16_t u = s[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      out.push_back(static_cast<wchar_t>(c));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back(kReplacement);
    } else {
      out.push_back(static_cast<wchar_t>(u));
    }
  }
  return out;
}

std::wstring Utf16BytesToWide(const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    char16_t u = static_cast<char16_t>(p[i] | (p[i + 1] << 8));
    if (u == 0) break;
    units.push_back(u);
  }
  return Utf16ToWide(units);
}
}  // namespace platform
