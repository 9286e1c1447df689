#include "platform/global.h"

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "handles.h"

namespace {
struct Block {
  std::vector<unsigned char> bytes;
  UINT flags = 0;
  UINT locks = 0;
};

platform::detail::HandleTable<Block>& Blocks() {
  static platform::detail::HandleTable<Block> table;
  return table;
}

std::atomic<SIZE_T> g_granularity{16};
std::atomic<SIZE_T> g_limit{SIZE_T(1) << 30};

// Rounded size, or 0 with ok=false when it overflows or passes the limit.
SIZE_T Rounded(SIZE_T bytes, bool& ok) {
  ok = false;
  SIZE_T g = g_granularity.load();
  if (bytes > g_limit.load()) return 0;
  SIZE_T r = bytes;
  if (g > 1 && bytes % g) {
    if (bytes > SIZE_T(-1) - g) return 0;
    r = bytes + (g - bytes % g);
  }
  ok = true;
  return r;
}
}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  bool ok = false;
  SIZE_T size = Rounded(bytes, ok);
  if (!ok) return nullptr;
  try {
    auto b = std::make_unique<Block>();
    b->bytes.assign(size, 0);  // zeroed always: no stale bytes ever leak out
    b->flags = flags;
    return Blocks().Add<HGLOBAL>(std::move(b));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
  bool ok = false;
  SIZE_T size = Rounded(bytes, ok);
  if (!ok) return nullptr;
  Block* b = Blocks().Find(mem);
  if (!b || b->locks) return nullptr;
  try {
    b->bytes.resize(size, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return mem;
}

LPVOID GlobalLock(HGLOBAL mem) {
  Block* b = Blocks().Find(mem);
  if (!b) return nullptr;
  ++b->locks;
  // A zero-sized block still locks, to a pointer that must not be read.
  static unsigned char empty;
  return b->bytes.empty() ? &empty : b->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL mem) {
  Block* b = Blocks().Find(mem);
  if (!b || b->locks == 0) return FALSE;
  --b->locks;
  return b->locks ? TRUE : FALSE;
}

SIZE_T GlobalSize(HGLOBAL mem) {
  Block* b = Blocks().Find(mem);
  return b ? b->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!mem) return nullptr;
  return Blocks().Remove(mem) ? nullptr : mem;
}

namespace platform {
SIZE_T GlobalGranularity() { return g_granularity.load(); }
void SetGlobalGranularity(SIZE_T granularity) { g_granularity.store(granularity ? granularity : 1); }
SIZE_T GlobalLimit() { return g_limit.load(); }
void SetGlobalLimit(SIZE_T limit) { g_limit.store(limit); }
SIZE_T GlobalLiveBlocks() { return Blocks().Size(); }

UINT GlobalLockCount(HGLOBAL mem) {
  Block* b = Blocks().Find(mem);
  return b ? b->locks : 0;
}

HGLOBAL GlobalFromBytes(const void* data, SIZE_T bytes, UINT flags) {
  HGLOBAL h = GlobalAlloc(flags, bytes);
  if (!h) return nullptr;
  if (bytes) {
    void* p = GlobalLock(h);
    std::memcpy(p, data, bytes);
    GlobalUnlock(h);
  }
  return h;
}

HGLOBAL GlobalDuplicate(HGLOBAL mem) {
  Block* b = Blocks().Find(mem);
  if (!b) return nullptr;
  try {
    auto copy = std::make_unique<Block>();
    copy->bytes = b->bytes;
    copy->flags = b->flags;
    return Blocks().Add<HGLOBAL>(std::move(copy));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
}  // namespace platform
