#pragma once
// A reference-counted implementation base for one interface (and the
// interfaces it derives from, under single inheritance): objects start with
// the count 1 and delete themselves on the last Release. The count is atomic,
// so an object may be released on any thread.
#include <atomic>
#include <initializer_list>

#include "platform/com.h"

namespace platform {

template <typename Interface>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || Supports(riid)) {
      *ppv = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }

 protected:
  virtual ~ComObject() = default;
  // The interface ids this object answers besides IID_IUnknown.
  virtual bool Supports(REFIID riid) const = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

inline bool AnyOf(REFIID riid, std::initializer_list<const IID*> ids) {
  for (const IID* id : ids)
    if (riid == *id) return true;
  return false;
}

}  // namespace platform
