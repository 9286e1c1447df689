#include <cstring>

#include "medium.h"
#include "pq/item.h"
#include "pq/itemtype.h"

namespace pq {
namespace {

template <class T>
void ReleaseAndClear(T*& p) {
  if (p != nullptr) {
    p->Release();
    p = nullptr;
  }
}

}  // namespace

void EmbeddedObjectItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(CfEmbeddedObject(), TYMED_ISTORAGE);
}

HRESULT EmbeddedObjectItem::OpenStorage(IStorage** storage) const {
  *storage = nullptr;
  HGLOBAL block = nullptr;
  HRESULT hr = medium::NewGlobal(m_data.data(), m_data.size(), &block);
  if (FAILED(hr)) return hr;
  ILockBytes* bytes = nullptr;
  hr = CreateILockBytesOnHGlobal(block, TRUE, &bytes);
  if (FAILED(hr) || bytes == nullptr) {
    // Not taken over by a lock-bytes object: the block is still ours.
    GlobalFree(block);
    return FAILED(hr) ? hr : E_FAIL;
  }
  IStorage* opened = nullptr;
  hr = StgOpenStorageOnILockBytes(bytes, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                                  0, &opened);
  // The storage keeps the lock-bytes alive; on failure this frees the block.
  bytes->Release();
  if (FAILED(hr) || opened == nullptr) return FAILED(hr) ? hr : E_FAIL;
  *storage = opened;
  return S_OK;
}

HRESULT EmbeddedObjectItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  IStorage* storage = nullptr;
  HRESULT hr = OpenStorage(&storage);
  if (FAILED(hr)) return hr;
  medium->pstg = storage;
  return S_OK;
}

HRESULT EmbeddedObjectItem::GetDataHere(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  if (medium->pstg == nullptr) return E_INVALIDARG;
  IStorage* storage = nullptr;
  HRESULT hr = OpenStorage(&storage);
  if (FAILED(hr)) return hr;
  hr = storage->CopyTo(0, nullptr, nullptr, medium->pstg);
  storage->Release();
  return hr;
}

bool EmbeddedObjectItem::Load(IDataObject* source) {
  if (source == nullptr) return false;
  ILockBytes* bytes = nullptr;
  IStorage* storage = nullptr;
  IOleObject* object = nullptr;
  bool ok = false;
  do {
    if (FAILED(CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes)) || bytes == nullptr) break;
    if (FAILED(StgCreateDocfileOnILockBytes(bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                            0, &storage)) ||
        storage == nullptr)
      break;
    void* created = nullptr;
    if (FAILED(OleCreateFromData(source, IID_IOleObject, OLERENDER_NONE, nullptr, nullptr, storage,
                                 &created)) ||
        created == nullptr)
      break;
    object = static_cast<IOleObject*>(created);
    if (FAILED(storage->Commit(STGC_DEFAULT))) break;
    if (FAILED(bytes->Flush())) break;
    STATSTG stat;
    std::memset(&stat, 0, sizeof stat);
    if (FAILED(bytes->Stat(&stat, STATFLAG_NONAME))) break;
    if (stat.cbSize.u.HighPart != 0) break;
    const std::size_t size = stat.cbSize.u.LowPart;
    HGLOBAL block = nullptr;
    if (FAILED(GetHGlobalFromILockBytes(bytes, &block)) || block == nullptr) break;
    // The storage's block must really hold what its size claims.
    if (GlobalSize(block) < size) break;
    if (size == 0) break;  // an object that saved nothing is no object
    if (size > kMaxClipboardBlock) break;
    const void* p = GlobalLock(block);
    if (p == nullptr) break;
    try {
      SetBlock(p, size);
      ok = true;
    } catch (const std::bad_alloc&) {
    }
    GlobalUnlock(block);
  } while (false);
  ReleaseAndClear(object);
  ReleaseAndClear(storage);
  ReleaseAndClear(bytes);
  return ok;
}

void EmbeddedObjectItem::SetBlock(const void* bytes, std::size_t size) {
  m_data.assign(static_cast<const char*>(bytes), size);
}

}  // namespace pq
