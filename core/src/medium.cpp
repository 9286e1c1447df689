#include "medium.h"

#include <cstring>

#include "pq/item.h"

namespace pq {
namespace medium {

HRESULT NewGlobal(const void* bytes, std::size_t size, HGLOBAL* out) {
  HGLOBAL block = platform::GlobalFromBytes(bytes, size);
  if (block == nullptr) return E_OUTOFMEMORY;
  *out = block;
  return S_OK;
}

HRESULT CopyToGlobal(HGLOBAL block, const void* bytes, std::size_t size) {
  if (GlobalSize(block) < size) return E_INVALIDARG;
  void* p = GlobalLock(block);
  if (p == nullptr) return E_INVALIDARG;
  if (size != 0) std::memcpy(p, bytes, size);
  GlobalUnlock(block);
  return S_OK;
}

FORMATETC Request(CLIPFORMAT format, DWORD tymed) {
  FORMATETC fe;
  fe.cfFormat = format;
  fe.ptd = nullptr;
  fe.dwAspect = DVASPECT_CONTENT;
  fe.lindex = -1;
  fe.tymed = tymed;
  return fe;
}

void Drop(STGMEDIUM& m) {
  if (m.hGlobal != nullptr || m.pUnkForRelease != nullptr) ReleaseStgMedium(&m);
  std::memset(&m, 0, sizeof m);
}

bool ReadGlobal(IDataObject* source, CLIPFORMAT format, std::vector<char>& out) {
  if (source == nullptr) return false;
  FORMATETC fe = Request(format, TYMED_HGLOBAL);
  STGMEDIUM m;
  std::memset(&m, 0, sizeof m);
  HRESULT hr = source->GetData(&fe, &m);
  bool ok = false;
  if (SUCCEEDED(hr) && m.tymed == TYMED_HGLOBAL && m.hGlobal != nullptr) {
    SIZE_T size = GlobalSize(m.hGlobal);
    // A block that does not lock (a freed or made-up handle) is refused, even
    // when it reports no bytes.
    if (static_cast<std::uint64_t>(size) <= kMaxClipboardBlock) {
      const void* p = GlobalLock(m.hGlobal);
      if (p != nullptr) {
        try {
          out.assign(static_cast<const char*>(p), static_cast<const char*>(p) + size);
          ok = true;
        } catch (const std::bad_alloc&) {
        }
        GlobalUnlock(m.hGlobal);
      }
    }
  }
  Drop(m);
  return ok;
}

}  // namespace medium
}  // namespace pq
