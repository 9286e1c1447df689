#include "process.h"

#include <unistd.h>

namespace pq {

// The platform layer does not offer GetCurrentProcessId yet; the operating
// system's id is what it will report for our own process.
DWORD OwnProcessId() { return static_cast<DWORD>(::getpid()); }

}  // namespace pq
