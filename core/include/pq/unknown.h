#pragma once
// One COM interface with a reference count: the platform's base, answering
// IID_IUnknown and InterfaceId. Objects start with the count 1 and delete
// themselves on the last Release.
#include "platform/com_object.h"
#include "pq/win.h"

namespace pq {

template <class Interface, const IID& InterfaceId>
class SimpleUnknownImpl : public platform::ComObject<Interface> {
 protected:
  SimpleUnknownImpl() = default;
  SimpleUnknownImpl(const SimpleUnknownImpl&) = delete;
  SimpleUnknownImpl& operator=(const SimpleUnknownImpl&) = delete;
  ~SimpleUnknownImpl() override = default;

 private:
  bool Supports(REFIID riid) const override { return riid == InterfaceId; }
};

}  // namespace pq
