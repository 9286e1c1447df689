#pragma once
// A data object standing in for another application's clip: it answers
// GetData for the (format, medium) pairs a test gives it, with the bytes or
// handles the test chose, and counts what it was asked.
#include <cstring>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "pq/unknown.h"
#include "pq/win.h"

namespace pqtest {

class FakeSource : public pq::SimpleUnknownImpl<IDataObject, IID_IDataObject> {
 public:
  using Producer = std::function<HRESULT(STGMEDIUM*)>;

  static FakeSource* Create() { return new FakeSource; }

  // Offers `format` as a global block holding `bytes` (its reported size may
  // be rounded up by the allocator).
  void OfferBytes(CLIPFORMAT format, std::vector<char> bytes) {
    Offer(format, TYMED_HGLOBAL, [bytes](STGMEDIUM* m) {
      HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
      if (h == nullptr) return E_OUTOFMEMORY;
      if (!bytes.empty()) {
        std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
        GlobalUnlock(h);
      }
      m->tymed = TYMED_HGLOBAL;
      m->hGlobal = h;
      m->pUnkForRelease = nullptr;
      return S_OK;
    });
  }
  // Offers `format` in `tymed`, made by `producer`.
  void Offer(CLIPFORMAT format, DWORD tymed, Producer producer) {
    m_producers[{format, tymed}] = std::move(producer);
  }
  int Calls(CLIPFORMAT format) const {
    auto it = m_calls.find(format);
    return it == m_calls.end() ? 0 : it->second;
  }

  HRESULT GetData(FORMATETC* fe, STGMEDIUM* m) override {
    ++m_calls[fe->cfFormat];
    auto it = m_producers.find({fe->cfFormat, fe->tymed});
    if (it == m_producers.end()) return DV_E_FORMATETC;
    return it->second(m);
  }
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC* fe) override {
    return m_producers.count({fe->cfFormat, fe->tymed}) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  FakeSource() = default;
  std::map<std::pair<CLIPFORMAT, DWORD>, Producer> m_producers;
  std::map<CLIPFORMAT, int> m_calls;
};

// Holds a COM reference for a test's scope.
template <class T>
class Ref {
 public:
  explicit Ref(T* p = nullptr) : m_p(p) {}
  ~Ref() {
    if (m_p) m_p->Release();
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  T* get() const { return m_p; }
  T** out() { return &m_p; }

 private:
  T* m_p;
};

// A zeroed medium, and the bytes of a global block.
inline STGMEDIUM EmptyMedium() {
  STGMEDIUM m;
  std::memset(&m, 0, sizeof m);
  return m;
}
inline std::vector<char> BlockBytes(HGLOBAL h) {
  std::vector<char> out(GlobalSize(h));
  if (!out.empty()) {
    std::memcpy(out.data(), GlobalLock(h), out.size());
    GlobalUnlock(h);
  }
  return out;
}
inline std::vector<char> Bytes(const char* s, std::size_t n) { return std::vector<char>(s, s + n); }

}  // namespace pqtest
