#pragma once
// A data object for tests: offers a list of (format, medium) pairs, each
// rendered by a function, and counts its references and calls.
#include <functional>
#include <vector>

#include "platform/com.h"

namespace test {

class TestDataObject : public IDataObject {
 public:
  struct Offer {
    CLIPFORMAT cf;
    DWORD tymed;
    // Fills the medium (tymed and handle); returns the result to report.
    std::function<HRESULT(STGMEDIUM*)> render;
    // Optional: renders into a medium the caller gives (TYMED_ISTORAGE).
    std::function<HRESULT(STGMEDIUM*)> renderHere;
  };

  std::vector<Offer> offers;
  ULONG refs = 1;
  int getDataCalls = 0;
  bool deleted = false;  // set instead of deleting, so tests can look after
  bool listDevices = false;  // the enumerator hands out a target device with each pair

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDataObject) return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    if (--refs == 0) deleted = true;
    return refs;
  }
  const Offer* Find(const FORMATETC* fe) const {
    for (const auto& o : offers)
      if (o.cf == fe->cfFormat && (o.tymed & fe->tymed)) return &o;
    return nullptr;
  }
  HRESULT GetData(FORMATETC* fe, STGMEDIUM* m) override {
    ++getDataCalls;
    if (!fe || !m) return E_INVALIDARG;
    const Offer* o = Find(fe);
    if (!o) return DV_E_FORMATETC;
    m->pUnkForRelease = nullptr;
    m->tymed = o->tymed;
    return o->render(m);
  }
  HRESULT GetDataHere(FORMATETC* fe, STGMEDIUM* m) override {
    if (!fe || !m) return E_INVALIDARG;
    const Offer* o = Find(fe);
    if (!o) return DV_E_FORMATETC;
    return o->renderHere ? o->renderHere(m) : E_NOTIMPL;
  }
  HRESULT QueryGetData(FORMATETC* fe) override {
    if (!fe) return E_INVALIDARG;
    return Find(fe) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (!out) return E_INVALIDARG;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override;
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

class TestEnum final : public IEnumFORMATETC {
 public:
  explicit TestEnum(std::vector<FORMATETC> f) : formats(std::move(f)) {}
  std::vector<FORMATETC> formats;
  std::size_t cursor = 0;
  ULONG refs = 1;
  bool devices = false;  // each pair handed out with a target device the caller frees
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumFORMATETC) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ULONG n = --refs;
    if (!n) delete this;
    return n;
  }
  HRESULT Next(ULONG celt, FORMATETC* out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < celt && cursor < formats.size(); ++n) {
      out[n] = formats[cursor++];
      if (devices) out[n].ptd = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(sizeof(DVTARGETDEVICE)));
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    cursor += celt;
    return S_OK;
  }
  HRESULT Reset() override {
    cursor = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

 private:
  ~TestEnum() = default;
};

inline HRESULT TestDataObject::EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (dir != DATADIR_GET) return E_NOTIMPL;
  std::vector<FORMATETC> f;
  for (const auto& o : offers) f.push_back(FORMATETC{o.cf, nullptr, DVASPECT_CONTENT, -1, o.tymed});
  auto* e = new TestEnum(std::move(f));
  e->devices = listDevices;
  *out = e;
  return S_OK;
}

}  // namespace test
