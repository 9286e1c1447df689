#include <cstring>

#include "medium.h"
#include "pq/item.h"
#include "pq/itemtype.h"

namespace pq {

void EnhMetaFileItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(CF_ENHMETAFILE, TYMED_ENHMF);
}

HRESULT EnhMetaFileItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  // The platform refuses bytes that are no metafile (an empty block too):
  // then there is nothing to hand out.
  HENHMETAFILE mf = SetEnhMetaFileBits(static_cast<UINT>(m_data.size()),
                                       reinterpret_cast<const BYTE*>(m_data.data()));
  if (mf == nullptr) return E_FAIL;
  medium->hEnhMetaFile = mf;
  return S_OK;
}

HRESULT EnhMetaFileItem::GetDataHere(const ItemFormat&, STGMEDIUM*) { return E_NOTIMPL; }

bool EnhMetaFileItem::Load(IDataObject* source) {
  if (source == nullptr) return false;
  FORMATETC fe = medium::Request(CF_ENHMETAFILE, TYMED_ENHMF);
  STGMEDIUM m;
  std::memset(&m, 0, sizeof m);
  bool ok = false;
  if (SUCCEEDED(source->GetData(&fe, &m)) && m.tymed == TYMED_ENHMF &&
      m.hEnhMetaFile != nullptr) {
    const UINT n = GetEnhMetaFileBits(m.hEnhMetaFile, 0, nullptr);
    if (n != 0 && n <= kMaxClipboardBlock) {
      try {
        std::vector<BYTE> buffer(n);
        if (GetEnhMetaFileBits(m.hEnhMetaFile, n, buffer.data()) == n) {
          SetBlock(buffer.data(), n);
          ok = true;
        }
      } catch (const std::bad_alloc&) {
      }
    }
  }
  medium::Drop(m);
  return ok;
}

void EnhMetaFileItem::SetBlock(const void* bytes, std::size_t size) {
  m_data.assign(static_cast<const char*>(bytes), size);
}

}  // namespace pq
