#pragma once
// Conversions between the toolkit's wide strings and the narrow strings that
// everything archived holds. Narrow strings are always UTF-8; a text that
// cannot be converted becomes an empty text.
#include <string>

#include <wx/buffer.h>
#include <wx/string.h>

namespace cmn {
namespace wx {

// The wide text as UTF-8, ending at its first NUL.
std::string ToStdString(const wxString& s);
wxCharBuffer ToMultiByte(const wxString& s);

// The narrow UTF-8 text up to its first NUL.
wxString FromStdString(const std::string& s);
wxString FromMultiByte(const char* s);
inline wxString ToWxString(const std::string& s) { return FromStdString(s); }

// The stored form of a text option: the UTF-8 bytes and one NUL, or nothing
// for an empty text.
void AssignStdString(const wxString& from, std::string& to);
// Reads that form back: an empty source leaves `to` as it was; otherwise the
// last byte is dropped and the rest decoded.
void AssignWxString(const std::string& from, wxString& to);

}  // namespace wx
}  // namespace cmn
