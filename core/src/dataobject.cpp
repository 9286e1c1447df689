#include "pq/dataobject.h"

#include <new>

namespace pq {

// ---- DataObject -------------------------------------------------------------------

DataObject::~DataObject() {
  for (Item* item : m_items) delete item;
}

Item* DataObject::FindItem(const ItemFormat& format) const {
  for (Item* item : m_items)
    if (item != nullptr && item->MatchesFormat(format)) return item;
  return nullptr;
}

namespace {

using Render = HRESULT (Item::*)(const ItemFormat&, STGMEDIUM*);

HRESULT RenderThrough(const DataObject& d, FORMATETC* fe, STGMEDIUM* medium, Render render) {
  if (fe == nullptr || medium == nullptr) return E_INVALIDARG;
  try {
    const ItemFormat request(*fe);
    Item* item = d.FindItem(request);
    if (item == nullptr) return DV_E_FORMATETC;
    return (item->*render)(request, medium);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT DataObject::GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) {
  return RenderThrough(*this, pformatetcIn, pmedium, &Item::GetData);
}

HRESULT DataObject::GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) {
  return RenderThrough(*this, pformatetc, pmedium, &Item::GetDataHere);
}

HRESULT DataObject::QueryGetData(FORMATETC* pformatetc) {
  if (pformatetc == nullptr) return E_INVALIDARG;
  try {
    return FindItem(ItemFormat(*pformatetc)) != nullptr ? S_OK : DV_E_FORMATETC;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT DataObject::GetCanonicalFormatEtc(FORMATETC* pformatetcIn, FORMATETC* pformatetcOut) {
  if (pformatetcIn == nullptr || pformatetcOut == nullptr) return E_INVALIDARG;
  *pformatetcOut = *pformatetcIn;
  pformatetcOut->ptd = nullptr;
  pformatetcOut->dwAspect = DVASPECT_CONTENT;
  pformatetcOut->lindex = -1;
  return DATA_S_SAMEFORMATETC;
}

HRESULT DataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT DataObject::EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) {
  if (ppenumFormatEtc == nullptr) return E_INVALIDARG;
  *ppenumFormatEtc = nullptr;
  if (dwDirection != DATADIR_GET) return E_NOTIMPL;
  try {
    *ppenumFormatEtc = new pq::EnumFormatEtc(this);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT DataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT DataObject::DUnadvise(DWORD) { return E_NOTIMPL; }

HRESULT DataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

// ---- EnumFormatEtc --------------------------------------------------------------------

EnumFormatEtc::EnumFormatEtc(DataObject* owner) : m_owner(owner) {
  for (const Item* item : owner->Items())
    if (item != nullptr) item->EnumFormats(m_formats);
  // Taken last, so a constructor that throws leaves the owner's count alone.
  m_owner->AddRef();
}

EnumFormatEtc::EnumFormatEtc(const EnumFormatEtc& other, int)
    : m_owner(other.m_owner), m_formats(other.m_formats), m_cursor(other.m_cursor) {
  m_owner->AddRef();
}

EnumFormatEtc::~EnumFormatEtc() { m_owner->Release(); }

HRESULT EnumFormatEtc::Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) {
  if (celt == 0 || rgelt == nullptr) return E_INVALIDARG;
  if (m_cursor >= m_formats.size()) {
    if (pceltFetched != nullptr) *pceltFetched = 0;
    return S_FALSE;
  }
  if (pceltFetched != nullptr)
    *pceltFetched = 0;
  else if (celt != 1)
    return E_INVALIDARG;
  ULONG written = 0;
  while (m_cursor < m_formats.size() && written < celt)
    rgelt[written++] = m_formats[m_cursor++].ToFormatEtc();
  if (pceltFetched != nullptr) *pceltFetched = written;
  return written == celt ? S_OK : S_FALSE;
}

HRESULT EnumFormatEtc::Skip(ULONG celt) {
  // Compared as "remaining", so a huge count cannot wrap the cursor around.
  if (celt > m_formats.size() - m_cursor) return S_FALSE;
  m_cursor += celt;
  return S_OK;
}

HRESULT EnumFormatEtc::Reset() {
  m_cursor = 0;
  return S_OK;
}

HRESULT EnumFormatEtc::Clone(IEnumFORMATETC** ppenum) {
  if (ppenum == nullptr) return E_INVALIDARG;
  *ppenum = nullptr;
  try {
    *ppenum = new EnumFormatEtc(*this, 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace pq
