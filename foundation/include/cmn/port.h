#pragma once
// The one check of a TCP port typed by the user, shared by the host dialog
// and the network options.
#include <wx/string.h>

namespace cmn {
namespace wx {

// True when text is a whole decimal number from 0 to 65535, as the toolkit's
// signed conversion reads it (leading blanks and a sign accepted, nothing
// after the number); the value goes to *port. Otherwise false and *port is
// left alone.
bool ParsePort(const wxString& text, int* port);

}  // namespace wx
}  // namespace cmn
