#pragma once
// One COM interface with a plain reference count. Objects start with the
// count 1 and delete themselves on the last Release. Used on the GUI thread
// only (the clipboard and drag and drop run in its apartment), so the count
// is not interlocked.
#include "pq/win.h"

namespace pq {

template <class Interface, const IID& InterfaceId>
class SimpleUnknownImpl : public Interface {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == InterfaceId) {
      *ppv = static_cast<Interface*>(this);
      ++m_refs;
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

 protected:
  SimpleUnknownImpl() = default;
  SimpleUnknownImpl(const SimpleUnknownImpl&) = delete;
  SimpleUnknownImpl& operator=(const SimpleUnknownImpl&) = delete;
  virtual ~SimpleUnknownImpl() = default;

 private:
  ULONG m_refs = 1;
};

}  // namespace pq
