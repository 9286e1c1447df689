#pragma once
// Helpers shared by the item classes for global blocks and media.
#include <cstddef>
#include <vector>

#include "pq/win.h"

namespace pq {
namespace medium {

// A new movable block holding a copy of the bytes; E_OUTOFMEMORY when it
// cannot be had (then *out is not set).
HRESULT NewGlobal(const void* bytes, std::size_t size, HGLOBAL* out);
// Copies the bytes to the start of the caller's block: E_INVALIDARG (nothing
// copied) when the block is smaller or does not lock.
HRESULT CopyToGlobal(HGLOBAL block, const void* bytes, std::size_t size);
// Asks `source` for `format` in a global block and copies the whole block
// (as GlobalSize reports it). False when the call fails, the medium is not a
// global block, the block is null, larger than kMaxClipboardBlock or does not
// lock. The medium is released on every path; the producer's block is never
// written.
bool ReadGlobal(IDataObject* source, CLIPFORMAT format, std::vector<char>& out);
// A request for `format` in `tymed`: {format, null, content, -1, tymed}.
FORMATETC Request(CLIPFORMAT format, DWORD tymed);
// Releases what GetData handed over (a handle or a release object) and clears
// the medium.
void Drop(STGMEDIUM& medium);

}  // namespace medium
}  // namespace pq
