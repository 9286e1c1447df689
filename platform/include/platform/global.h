#pragma once
// Global memory blocks, the currency of clipboard data. Handles are opaque and
// checked on every call: a freed or made-up handle gives the failure result,
// never a crash.
//
// As on the system we stand in for, a block may be larger than was asked for:
// GlobalSize reports the rounded size, and the extra bytes are zero here.
#include "platform/types.h"

enum : UINT {
  GMEM_FIXED = 0x0000,
  GMEM_MOVEABLE = 0x0002,
  GMEM_ZEROINIT = 0x0040,
  GMEM_SHARE = 0x2000,
  GMEM_DDESHARE = 0x2000,
  GHND = GMEM_MOVEABLE | GMEM_ZEROINIT,
  GPTR = GMEM_FIXED | GMEM_ZEROINIT,
};

// Null when `bytes` cannot be had (or is beyond the layer's limit).
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Grows or shrinks a block that is not locked; null on failure (the old block
// stays valid then).
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
// The block's bytes, null for a bad handle; each lock counts.
LPVOID GlobalLock(HGLOBAL mem);
// Nonzero while the block stays locked; 0 once its lock count is zero.
BOOL GlobalUnlock(HGLOBAL mem);
// The block's size as allocated (rounded up); 0 for a bad handle.
SIZE_T GlobalSize(HGLOBAL mem);
// Null on success, the handle itself when it was not a live block.
HGLOBAL GlobalFree(HGLOBAL mem);

namespace platform {
// Blocks are rounded up to a multiple of this (default 16). Tests that need
// exact sizes set 1 for a scope.
SIZE_T GlobalGranularity();
void SetGlobalGranularity(SIZE_T granularity);
// Refuses allocations beyond this many bytes (default 1 GiB), so a hostile
// size never exhausts the process.
SIZE_T GlobalLimit();
void SetGlobalLimit(SIZE_T limit);
// Live blocks, for leak checks in tests.
SIZE_T GlobalLiveBlocks();
// The lock count of a block (0 for a bad handle).
UINT GlobalLockCount(HGLOBAL mem);
// A new block holding a copy of `bytes` bytes of `data`; null on failure.
HGLOBAL GlobalFromBytes(const void* data, SIZE_T bytes, UINT flags = GMEM_MOVEABLE);
// A new block of the same reported size and contents; null on failure.
HGLOBAL GlobalDuplicate(HGLOBAL mem);

class ScopedGlobalGranularity {
 public:
  explicit ScopedGlobalGranularity(SIZE_T g) : saved_(GlobalGranularity()) { SetGlobalGranularity(g); }
  ~ScopedGlobalGranularity() { SetGlobalGranularity(saved_); }
  ScopedGlobalGranularity(const ScopedGlobalGranularity&) = delete;
  ScopedGlobalGranularity& operator=(const ScopedGlobalGranularity&) = delete;

 private:
  SIZE_T saved_;
};
}  // namespace platform
