#pragma once
// Large buffers that are filled once (a picture's pixels, a block read from
// an archive): on first touch each 4 KB page costs a fault, and for tens of
// megabytes the faults cost more than the filling does.
#include <cstddef>

namespace platform {

// Asks that the whole huge pages within [data, data + bytes) be backed by
// huge pages when they are first touched. A hint: where the system has none,
// or for a buffer too small to hold one, nothing changes. Call it before the
// buffer is written.
void AdviseHugePages(void* data, std::size_t bytes);

// Buffers at least this large are worth the hint.
constexpr std::size_t kHugePageHintBytes = std::size_t(4) << 20;

}  // namespace platform
