#include <new>

#include "com_object.h"
#include "format_enum.h"
#include "platform/atoms.h"
#include "platform/ole.h"

namespace {
using platform::detail::ComObject;
using platform::detail::FormatEnum;
using platform::detail::MakeFormatEtc;

CLIPFORMAT EmbeddedObjectFormat() {
  static const CLIPFORMAT cf = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Embedded Object"));
  return cf;
}
CLIPFORMAT EmbedSourceFormat() {
  static const CLIPFORMAT cf = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Embed Source"));
  return cf;
}

// Offers a storage's contents as "Embedded Object" in TYMED_ISTORAGE.
class EmbeddingData final : public platform::detail::ReadOnlyData {
 public:
  explicit EmbeddingData(IStorage* stg) : stg_(stg) { stg_->AddRef(); }

  HRESULT GetData(FORMATETC* fe, STGMEDIUM* m) override {
    if (!fe || !m) return E_INVALIDARG;
    HRESULT hr = QueryGetData(fe);
    if (hr != S_OK) return hr;
    IStorage* copy = nullptr;
    hr = platform::CopyStorageToNew(stg_, &copy);
    if (FAILED(hr)) return hr;
    m->tymed = TYMED_ISTORAGE;
    m->pstg = copy;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT GetDataHere(FORMATETC* fe, STGMEDIUM* m) override {
    if (!fe || !m) return E_INVALIDARG;
    HRESULT hr = QueryGetData(fe);
    if (hr != S_OK) return hr;
    if (m->tymed != TYMED_ISTORAGE || !m->pstg) return DV_E_TYMED;
    hr = stg_->CopyTo(0, nullptr, nullptr, m->pstg);
    return SUCCEEDED(hr) ? m->pstg->Commit(STGC_DEFAULT) : hr;
  }
  HRESULT QueryGetData(FORMATETC* fe) override {
    if (!fe) return E_INVALIDARG;
    if (fe->cfFormat != EmbeddedObjectFormat()) return DV_E_FORMATETC;
    if (!(fe->tymed & TYMED_ISTORAGE)) return DV_E_TYMED;
    return S_OK;
  }
 protected:
  ~EmbeddingData() override { stg_->Release(); }
  std::vector<FORMATETC> Formats() const override {
    return {MakeFormatEtc(EmbeddedObjectFormat(), TYMED_ISTORAGE)};
  }

 private:
  IStorage* stg_;
};

// An object kept in a storage. It never runs a server: it can only hand its
// embedding back.
class OleObject final : public ComObject<IOleObject> {
 public:
  explicit OleObject(IStorage* stg) : stg_(stg) { stg_->AddRef(); }

  HRESULT SetClientSite(IOleClientSite* site) override {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
  }
  HRESULT GetClientSite(IOleClientSite** out) override {
    if (!out) return E_INVALIDARG;
    *out = site_;
    if (site_) site_->AddRef();
    return S_OK;
  }
  HRESULT SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT Close(DWORD) override { return S_OK; }
  HRESULT SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
  HRESULT GetClipboardData(DWORD, IDataObject** out) override {
    if (!out) return E_INVALIDARG;
    *out = new (std::nothrow) EmbeddingData(stg_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT DoVerb(LONG, MSG*, IOleClientSite*, LONG, HWND, const RECT*) override { return OLE_E_NOTRUNNING; }
  HRESULT EnumVerbs(IEnumOLEVERB** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT Update() override { return S_OK; }
  HRESULT IsUpToDate() override { return S_OK; }
  HRESULT GetUserClassID(CLSID* out) override { return ReadClassStg(stg_, out); }
  HRESULT GetUserType(DWORD, LPOLESTR* out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT Advise(IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT Unadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT GetMiscStatus(DWORD, DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = 0;
    return S_OK;
  }
  HRESULT SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

 protected:
  ~OleObject() override {
    if (site_) site_->Release();
    stg_->Release();
  }
  bool Supports(REFIID riid) const override { return riid == IID_IOleObject; }

 private:
  IStorage* stg_;
  IOleClientSite* site_ = nullptr;
};

HRESULT Hand(OleObject* obj, REFIID riid, IOleClientSite* site, LPVOID* out) {
  if (!obj) return E_OUTOFMEMORY;
  if (site) obj->SetClientSite(site);
  HRESULT hr = obj->QueryInterface(riid, out);
  obj->Release();
  return hr;
}

// Copies the source's embedding into `stg`: into it directly when the source
// can, else through a storage of its own.
HRESULT CopyEmbedding(IDataObject* src, CLIPFORMAT cf, IStorage* stg) {
  FORMATETC fe = MakeFormatEtc(cf, TYMED_ISTORAGE);
  STGMEDIUM m{};
  m.tymed = TYMED_ISTORAGE;
  m.pstg = stg;
  if (SUCCEEDED(src->GetDataHere(&fe, &m))) return stg->Commit(STGC_DEFAULT);
  STGMEDIUM got{};
  HRESULT hr = src->GetData(&fe, &got);
  if (FAILED(hr)) return hr;
  if (got.tymed != TYMED_ISTORAGE || !got.pstg) {
    ReleaseStgMedium(&got);
    return DV_E_TYMED;
  }
  hr = got.pstg->CopyTo(0, nullptr, nullptr, stg);
  ReleaseStgMedium(&got);
  return SUCCEEDED(hr) ? stg->Commit(STGC_DEFAULT) : hr;
}
}  // namespace

HRESULT OleCreateFromData(IDataObject* src, REFIID riid, DWORD renderopt, FORMATETC*, IOleClientSite* site,
                          IStorage* stg, LPVOID* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!src || !stg) return E_INVALIDARG;
  if (riid != IID_IOleObject && riid != IID_IUnknown) return E_NOINTERFACE;
  if (renderopt != OLERENDER_NONE && renderopt != OLERENDER_ASIS) return E_NOTIMPL;
  HRESULT hr = OLE_E_STATIC;
  for (CLIPFORMAT cf : {EmbedSourceFormat(), EmbeddedObjectFormat()}) {
    FORMATETC fe = MakeFormatEtc(cf, TYMED_ISTORAGE);
    if (src->QueryGetData(&fe) != S_OK) continue;
    hr = CopyEmbedding(src, cf, stg);
    break;
  }
  if (FAILED(hr)) return hr;
  return Hand(new (std::nothrow) OleObject(stg), riid, site, out);
}

HRESULT OleLoad(IStorage* stg, REFIID riid, IOleClientSite* site, LPVOID* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!stg) return E_INVALIDARG;
  return Hand(new (std::nothrow) OleObject(stg), riid, site, out);
}
