#pragma once
// Releases a COM object on every path out of a scope.
#include <utility>

namespace pq {
namespace detail {

template <class T>
class Releaser {
 public:
  explicit Releaser(T* p = nullptr) : p_(p) {}
  ~Releaser() {
    if (p_) p_->Release();
  }
  Releaser(const Releaser&) = delete;
  Releaser& operator=(const Releaser&) = delete;
  T* get() const { return p_; }
  T** out() { return &p_; }
  T* release() { return std::exchange(p_, nullptr); }

 private:
  T* p_;
};

}  // namespace detail
}  // namespace pq
