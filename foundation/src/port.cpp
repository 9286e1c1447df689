#include "cmn/port.h"

namespace cmn {
namespace wx {

bool ParsePort(const wxString& text, int* port) {
  long value = 0;
  if (!text.ToLong(&value, 10)) return false;
  // Compared as the long it is: cutting it to 32 bits first would turn
  // 4294967376 into port 80 where long is 64 bits wide.
  if (value < 0 || value > 65535) return false;
  *port = static_cast<int>(value);
  return true;
}

}  // namespace wx
}  // namespace cmn
