#include "cmn/strconv.h"

#include <cstring>

namespace cmn {
namespace wx {

namespace {
// The bytes of the UTF-8 form, or an empty string when some character has no
// UTF-8 form (the toolkit then hands back no buffer).
std::string Utf8Of(const wxString& s) {
  if (s.empty()) return std::string();
  // Surrogates and values beyond U+10FFFF have no standard UTF-8 form (the
  // toolkit would write them anyway).
  for (wxString::const_iterator it = s.begin(); it != s.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return std::string();
  }
  const wxScopedCharBuffer buf = s.utf8_str();
  if (!buf.data()) return std::string();
  return std::string(buf.data());  // stops at the first NUL
}

wxString FromUtf8Bytes(const char* p, size_t n) {
  if (!p || n == 0) return wxString();
  return wxString::FromUTF8(p, n);  // empty on malformed input
}
}  // namespace

std::string ToStdString(const wxString& s) { return Utf8Of(s); }

wxCharBuffer ToMultiByte(const wxString& s) {
  const std::string u = Utf8Of(s);
  return wxCharBuffer(u.c_str());
}

wxString FromStdString(const std::string& s) { return FromUtf8Bytes(s.c_str(), std::strlen(s.c_str())); }

wxString FromMultiByte(const char* s) { return s ? FromUtf8Bytes(s, std::strlen(s)) : wxString(); }

void AssignStdString(const wxString& from, std::string& to) {
  std::string u = Utf8Of(from);
  if (u.empty()) {
    to.clear();
    return;
  }
  u.push_back('\0');
  to.swap(u);
}

void AssignWxString(const std::string& from, wxString& to) {
  if (from.empty()) return;
  const std::string body = from.substr(0, from.size() - 1);
  to = FromStdString(body);
}

}  // namespace wx
}  // namespace cmn
