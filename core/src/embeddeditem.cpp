// Waits for the platform's structured storage: until then an embedded object
// neither loads nor renders.
#include "pq/item.h"
#include "pq/itemtype.h"

namespace pq {

void EmbeddedObjectItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(CfEmbeddedObject(), TYMED_ISTORAGE);
}
HRESULT EmbeddedObjectItem::OpenStorage(IStorage** storage) const {
  *storage = nullptr;
  return E_NOTIMPL;
}
HRESULT EmbeddedObjectItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  return E_NOTIMPL;
}
HRESULT EmbeddedObjectItem::GetDataHere(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  return E_NOTIMPL;
}
bool EmbeddedObjectItem::Load(IDataObject*) { return false; }
void EmbeddedObjectItem::SetBlock(const void* bytes, std::size_t size) {
  m_data.assign(static_cast<const char*>(bytes), size);
}

}  // namespace pq
