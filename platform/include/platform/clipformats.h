#pragma once
// Standard clipboard format values and the text encodings they use.
//
// On the clipboard, CF_UNICODETEXT is UTF-16 (little endian, two bytes per
// unit, terminated by a zero unit), as programs on the system we stand in for
// expect; WCHAR texts in memory are UTF-32, so the helpers below convert.
// CF_TEXT uses the layer's fixed "ANSI code page", Windows-1252.
#include <string>

#include "platform/atoms.h"
#include "platform/types.h"

enum : UINT {
  CF_TEXT = 1,
  CF_BITMAP = 2,
  CF_METAFILEPICT = 3,
  CF_SYLK = 4,
  CF_DIF = 5,
  CF_TIFF = 6,
  CF_OEMTEXT = 7,
  CF_DIB = 8,
  CF_PALETTE = 9,
  CF_PENDATA = 10,
  CF_RIFF = 11,
  CF_WAVE = 12,
  CF_UNICODETEXT = 13,
  CF_ENHMETAFILE = 14,
  CF_HDROP = 15,
  CF_LOCALE = 16,
  CF_DIBV5 = 17,
  CF_OWNERDISPLAY = 0x0080,
  CF_DSPTEXT = 0x0081,
  CF_DSPBITMAP = 0x0082,
  CF_DSPMETAFILEPICT = 0x0083,
  CF_DSPENHMETAFILE = 0x008E,
  CF_PRIVATEFIRST = 0x0200,
  CF_PRIVATELAST = 0x02FF,
  CF_GDIOBJFIRST = 0x0300,
  CF_GDIOBJLAST = 0x03FF,
};

// ---- Code pages -------------------------------------------------------------
enum : UINT {
  CP_ACP = 0,
  CP_OEMCP = 1,
  CP_UTF8 = 65001,
};
enum : DWORD {
  WC_NO_BEST_FIT_CHARS = 0x00000400,
  MB_ERR_INVALID_CHARS = 0x00000008,
};

using LCID = DWORD;
using LANGID = WORD;

// 1252: the code page that CP_ACP stands for.
UINT GetACP();
// The user's locale as a locale id (0x0409, English (United States)).
LCID GetUserDefaultLCID();
LCID GetThreadLocale();

// As on the system we stand in for: `srcLen` -1 means up to and including the
// terminating NUL; a zero `dstSize` asks for the length needed; the result is
// the number of units written (or needed), 0 on failure. Code pages: CP_ACP
// and 1252 (a character that 1252 lacks becomes `defaultChar`, '?' when null,
// and *usedDefault is set), CP_UTF8. Conversions never fail on content.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLen, LPSTR dst, int dstSize,
                        LPCSTR defaultChar, BOOL* usedDefault);
// Bytes 1252 leaves undefined become U+FFFD; invalid UTF-8 likewise.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLen, LPWSTR dst, int dstSize);

namespace platform {
// Windows-1252, with '?' for characters it lacks.
std::string WideToAnsi(const std::wstring& s);
std::wstring AnsiToWide(const std::string& s);

// Appends one character as UTF-8; a surrogate or a value beyond U+10FFFF
// becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// UTF-32 in memory to UTF-16 on the clipboard and back; lone surrogates and
// values beyond U+10FFFF become U+FFFD.
std::u16string WideToUtf16(const std::wstring& s);
std::wstring Utf16ToWide(const char16_t* s, std::size_t units);
inline std::wstring Utf16ToWide(const std::u16string& s) { return Utf16ToWide(s.data(), s.size()); }
// Reads UTF-16LE units from raw bytes (no alignment needed): at most
// `bytes / 2` units, stopping at the first zero unit.
std::wstring Utf16BytesToWide(const void* data, std::size_t bytes);
}  // namespace platform
