#pragma once
// A table of live objects behind opaque handles. A handle is the object's
// address, but it is only ever dereferenced after the table confirms that it
// names a live object, so stale or forged handles fail cleanly.
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform::detail {

template <typename T>
class HandleTable {
 public:
  template <typename H>
  H Add(std::unique_ptr<T> obj) {
    std::lock_guard<std::mutex> g(lock_);
    T* raw = obj.get();
    live_.emplace(raw, std::move(obj));
    return reinterpret_cast<H>(raw);
  }
  // The object, or null for a handle that is not live. The pointer stays valid
  // until Remove; callers on other threads must not race a removal.
  template <typename H>
  T* Find(H h) {
    std::lock_guard<std::mutex> g(lock_);
    auto it = live_.find(reinterpret_cast<const void*>(h));
    return it == live_.end() ? nullptr : it->second.get();
  }
  template <typename H>
  bool Remove(H h) {
    std::unique_ptr<T> doomed;
    {
      std::lock_guard<std::mutex> g(lock_);
      auto it = live_.find(reinterpret_cast<const void*>(h));
      if (it == live_.end()) return false;
      doomed = std::move(it->second);
      live_.erase(it);
    }
    return true;
  }
  std::size_t Size() {
    std::lock_guard<std::mutex> g(lock_);
    return live_.size();
  }
  std::mutex& Lock() { return lock_; }

 private:
  std::mutex lock_;
  std::unordered_map<const void*, std::unique_ptr<T>> live_;
};

}  // namespace platform::detail
