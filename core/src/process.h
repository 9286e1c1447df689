#pragma once
// The id of this process, as the tag carries it.
#include "pq/win.h"

namespace pq {
DWORD OwnProcessId();
}
