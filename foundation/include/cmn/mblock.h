#pragma once
// An owned block of plain bytes (pointer and size), archived as its size
// followed by the bytes as one raw-data item. Record blobs and network
// payloads travel in it, so a size read back from an archive is bounded, and
// cmn::iarchive grows the block as its bytes arrive rather than allocating
// the size the archive announces.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include <boost/archive/archive_exception.hpp>
#include <boost/serialization/binary_object.hpp>
#include <boost/serialization/level.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/tracking.hpp>

#include "platform/memory.h"

namespace cmn {

class iarchive;

// Largest block an archive may hold (and so the largest we write).
constexpr std::size_t kMaxBlockBytes = std::size_t(256) << 20;

template <class T>
class mblock {
  static_assert(std::is_trivially_copyable<T>::value, "mblock holds plain bytes");

 public:
  mblock() = default;
  explicit mblock(std::size_t n) { reset(n); }
  mblock(const T* p, std::size_t n) { assign(p, n); }
  mblock(const mblock& o) { assign(o.bytes_, o.size_); }
  mblock(mblock&& o) noexcept : bytes_(o.bytes_), size_(o.size_) {
    o.bytes_ = nullptr;
    o.size_ = 0;
  }
  mblock& operator=(const mblock& o) {
    if (this != &o) {
      mblock copy(o);
      swap(copy);
    }
    return *this;
  }
  mblock& operator=(mblock&& o) noexcept {
    if (this != &o) {
      mblock moved(std::move(o));
      swap(moved);
    }
    return *this;
  }
  ~mblock() { delete[] bytes_; }

  T* data() { return bytes_; }
  const T* data() const { return bytes_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Replaces the contents with a copy of n elements at p.
  void assign(const T* p, std::size_t n) {
    mblock fresh(n);
    if (n) std::memcpy(fresh.bytes_, p, n * sizeof(T));
    swap(fresh);
  }
  // Replaces the contents with n zeroed elements.
  void reset(std::size_t n) {
    T* p = n ? new T[n]() : nullptr;
    delete[] bytes_;
    bytes_ = p;
    size_ = n;
  }
  void clear() { reset(0); }
  void swap(mblock& o) noexcept {
    std::swap(bytes_, o.bytes_);
    std::swap(size_, o.size_);
  }

  bool operator==(const mblock& o) const {
    return size_ == o.size_ && (size_ == 0 || std::memcmp(bytes_, o.bytes_, size_ * sizeof(T)) == 0);
  }
  bool operator!=(const mblock& o) const { return !(*this == o); }

  template <class Archive>
  void save(Archive& ar, const unsigned int /*version*/) const {
    // A block the reader would refuse is refused here, not found out later.
    if (size_ * sizeof(T) > kMaxBlockBytes)
      throw boost::archive::archive_exception(boost::archive::archive_exception::other_exception,
                                              "byte block too large");
    const unsigned int n = static_cast<unsigned int>(size_);
    ar << n;
    if (n) ar << boost::serialization::make_binary_object(bytes_, n * sizeof(T));
  }
  template <class Archive>
  void load(Archive& ar, const unsigned int /*version*/) {
    unsigned int n = 0;
    ar >> n;
    if (n == 0) {
      clear();
      return;
    }
    if (n > kMaxBlockBytes / sizeof(T))
      throw boost::archive::archive_exception(boost::archive::archive_exception::other_exception,
                                              "byte block too large");
    mblock fresh;
    if constexpr (std::is_same<Archive, iarchive>::value) {
      fresh.load_growing(ar, n);
    } else {
      fresh.reset(n);
      ar >> boost::serialization::make_binary_object(fresh.bytes_, n * sizeof(T));
    }
    swap(fresh);
  }
  BOOST_SERIALIZATION_SPLIT_MEMBER()

 private:
  // Reads n elements, doubling the buffer as the bytes come (never past n),
  // so a block that announces more than it holds costs only what it holds.
  template <class Archive>
  void load_growing(Archive& ar, std::size_t n) {
    const std::size_t total = n * sizeof(T);
    std::size_t capacity = 0;  // bytes
    std::size_t filled = 0;
    ar.load_binary_chunks(total, [&](const char* bytes, std::size_t count) {
      if (filled + count > capacity) {
        std::size_t want = std::min(total, std::max(filled + count, std::max<std::size_t>(2 * capacity, 65536)));
        want = (want + sizeof(T) - 1) / sizeof(T) * sizeof(T);
        T* grown = new T[want / sizeof(T)];
        if (want >= platform::kHugePageHintBytes) platform::AdviseHugePages(grown, want);
        if (filled) std::memcpy(grown, bytes_, filled);
        delete[] bytes_;
        bytes_ = grown;
        capacity = want;
      }
      std::memcpy(reinterpret_cast<char*>(bytes_) + filled, bytes, count);
      filled += count;
    });
    size_ = n;  // the reader throws unless every byte arrived
  }

  T* bytes_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace cmn

// On disk a block is just its size and bytes: no class header, no tracking.
namespace boost {
namespace serialization {
template <class T>
struct implementation_level_impl<const cmn::mblock<T>> {
  typedef mpl::integral_c_tag tag;
  typedef mpl::int_<object_serializable> type;
  BOOST_STATIC_CONSTANT(int, value = implementation_level_impl::type::value);
};
template <class T>
struct tracking_level<cmn::mblock<T>> {
  typedef mpl::integral_c_tag tag;
  typedef mpl::int_<track_never> type;
  BOOST_STATIC_CONSTANT(int, value = tracking_level::type::value);
};
}  // namespace serialization
}  // namespace boost
