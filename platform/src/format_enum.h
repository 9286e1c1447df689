#pragma once
// A format enumerator over a fixed list, shared by the layer's data objects.
#include <new>
#include <vector>

#include "com_object.h"

namespace platform::detail {

class FormatEnum final : public ComObject<IEnumFORMATETC> {
 public:
  explicit FormatEnum(std::vector<FORMATETC> formats, std::size_t cursor = 0)
      : formats_(std::move(formats)), cursor_(cursor) {}

  HRESULT Next(ULONG celt, FORMATETC* out, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!out || celt == 0 || (!fetched && celt != 1)) return E_INVALIDARG;
    ULONG n = 0;
    while (n < celt && cursor_ < formats_.size()) out[n++] = formats_[cursor_++];
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    if (celt > formats_.size() - cursor_) return S_FALSE;
    cursor_ += celt;
    return S_OK;
  }
  HRESULT Reset() override {
    cursor_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = new (std::nothrow) FormatEnum(formats_, cursor_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IEnumFORMATETC; }

 private:
  std::vector<FORMATETC> formats_;
  std::size_t cursor_;
};

inline FORMATETC MakeFormatEtc(CLIPFORMAT cf, DWORD tymed) {
  return FORMATETC{cf, nullptr, DVASPECT_CONTENT, -1, tymed};
}

}  // namespace platform::detail

namespace platform::detail {

// The parts of a data object that only hands data out: no setting, no
// advising, an enumerator over Formats().
class ReadOnlyData : public ComObject<IDataObject> {
 public:
  HRESULT GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override {
    if (!in || !out) return E_INVALIDARG;
    *out = *in;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (dir != DATADIR_GET) return E_NOTIMPL;
    *out = new (std::nothrow) FormatEnum(Formats());
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 protected:
  virtual std::vector<FORMATETC> Formats() const = 0;
  bool Supports(REFIID riid) const override { return riid == IID_IDataObject; }
};

}  // namespace platform::detail
