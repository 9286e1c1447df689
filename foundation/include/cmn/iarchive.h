#pragma once
// The archives every file and network payload is written and read with.
// Writing uses Boost's text archive as it is. Reading uses the same text
// format through cmn::iarchive, which bounds every string length and
// collection count it reads, and grows strings and byte blocks only as their
// bytes arrive, never to the size the archive announces. Given a ReadBudget,
// it also charges every object it builds against it (see ReadBudget), so a
// small archive cannot build a large tree of small objects either.
//
// A load that fails half-way frees what it built: an object half read through
// a raw pointer goes to that pointer (whose owner frees it), one half read
// for a shared pointer is destroyed here, since no owner holds it yet.
//
// Boost's reader also trusts the class ids an archive gives for pointers and
// indexes its class table with them; cmn::iarchive keeps a mirror of that
// table and refuses an id out of order, a "new" class it already knows and a
// class not readable here.
//
// An archive may also name an object it read before instead of a new one.
// The library hands back that object's address whatever class the reference
// claims; cmn::iarchive keeps, for every object id, the class the object was
// read as and whether it was read through a pointer, and refuses a reference
// to an id not read yet, to another class, or from a pointer to an object
// read in place (a pointer may own what it points to; such an object is not
// its to free). A pointer is also refused an object whose class is not its
// own or one derived from it: a new one is destroyed before it is read.
//
// Types exported for polymorphic pointers (BOOST_CLASS_EXPORT_IMPLEMENT) must
// be exported in a file that includes this header first, so that the export
// also registers them for cmn::iarchive.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <type_traits>
#include <vector>

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/archive/detail/register_archive.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/singleton.hpp>
#include <boost/serialization/type_info_implementation.hpp>

#include "cmn/mblock.h"

namespace boost {
template <class T>
class shared_ptr;
}  // namespace boost

namespace cmn {

constexpr std::size_t kMaxArchiveString = kMaxBlockBytes;
constexpr std::size_t kMaxArchiveCount = std::size_t(1) << 20;

// What one object read costs a budget beyond its text: about what the
// largest of ours (a record list with its empty deque, and the library's
// tracking of it) takes in memory, so the budget bounds memory as well.
constexpr std::uint64_t kObjectCharge = 1024;

// What a load from outside may read: bytes of decompressed archive text
// (ReadArchive counts them as they leave the decompressor) plus
// kObjectCharge for every object the archive builds. Past it the load is
// refused with archive_too_large.
class ReadBudget {
 public:
  explicit ReadBudget(std::uint64_t bytes) : limit_(bytes) {}
  // Takes up to n bytes; returns how many fit. Once something did not fit,
  // the budget counts as exceeded.
  std::uint64_t Take(std::uint64_t n);
  // Takes n bytes or throws archive_too_large.
  void Charge(std::uint64_t n);
  bool Exceeded() const { return exceeded_; }

 private:
  std::uint64_t limit_;
  std::uint64_t used_ = 0;
  bool exceeded_ = false;
};

// A load refused because it would read or build more than its budget.
class archive_too_large : public boost::archive::archive_exception {
 public:
  explicit archive_too_large(std::uint64_t budget);
  const char* what() const noexcept override { return message_; }
  std::uint64_t Budget() const { return budget_; }

 private:
  std::uint64_t budget_;
  char message_[96];
};

using oarchive = boost::archive::text_oarchive;

class iarchive : public boost::archive::text_iarchive_impl<iarchive> {
  friend class boost::archive::detail::interface_iarchive<iarchive>;
  friend class boost::archive::basic_text_iarchive<iarchive>;
  friend class boost::archive::load_access;

 public:
  // `budget`, when given, is charged for every object read (the caller
  // counts the bytes, as ReadArchive does); it must outlive the archive.
  explicit iarchive(std::istream& is, unsigned int flags = 0, ReadBudget* budget = nullptr)
      : boost::archive::text_iarchive_impl<iarchive>(is, flags), budget_(budget) {
    if (0 == (flags & boost::archive::no_header)) init();
  }
  ~iarchive() override {}

  // A raw-data run (the library's base64 text) of `count` bytes, decoded as
  // it is read.
  void load_binary(void* address, std::size_t count);
  // The same, handing the bytes to `sink` in pieces as they are decoded, so
  // that the caller can grow its buffer with what really arrives.
  using BinarySink = std::function<void(const char* bytes, std::size_t n)>;
  void load_binary_chunks(std::size_t count, const BinarySink& sink);

  // Boost calls these on the archive's own type; each keeps the mirror of
  // the class table, then does what the library does.
  using Serializer = boost::archive::detail::basic_iserializer;
  using PointerSerializer = boost::archive::detail::basic_pointer_iserializer;
  using Finder = const PointerSerializer* (*)(const boost::serialization::extended_type_info&);
  void register_basic_serializer(const Serializer& bis);
  void load_object(void* t, const Serializer& bis);
  const PointerSerializer* load_pointer(void*& t, const PointerSerializer* bpis, Finder finder);

 protected:
  using boost::archive::text_iarchive_impl<iarchive>::load;
  void load(std::string& s);
  void load(boost::serialization::collection_size_type& t);
  // A C string has no length to bound: none of our types archives one.
  void load(char* s);
  using boost::archive::text_iarchive_impl<iarchive>::load_override;
  void load_override(boost::archive::class_id_type& t);
  void load_override(boost::archive::class_name_type& t);
  void load_override(boost::archive::object_id_type& t);
  // Every pointer: the class it points to is known only here.
  template <class T>
  void load_override(T*& t) {
    using Type = typename boost::serialization::type_info_implementation<std::remove_cv_t<T>>::type;
    pointee_ = &boost::serialization::singleton<Type>::get_const_instance();
    boost::archive::text_iarchive_impl<iarchive>::load_override(t);
  }
  // A shared pointer takes its object only once it is read whole; one that
  // fails half-way would be nobody's.
  template <class T>
  void load_override(boost::shared_ptr<T>& t) {
    halfRead_ = HalfRead{};
    try {
      boost::archive::text_iarchive_impl<iarchive>::load_override(t);
    } catch (...) {
      DestroyHalfRead();
      throw;
    }
  }

 private:
  using TypeInfo = boost::serialization::extended_type_info;
  // The class table as the library builds it, in id order.
  std::vector<const TypeInfo*> classes_;
  // For every object id read, the class id it was read as and whether it
  // was read through a pointer.
  struct Loaded {
    int classId;
    bool viaPointer;
  };
  std::vector<Loaded> objects_;
  // What the next object id read belongs to (-1: nothing expected).
  Loaded idFor_{-1, false};
  // The class the next pointer points to, set just before it is read.
  const TypeInfo* pointee_ = nullptr;
  // The pointer being read: its serializer, finder and pointee, what comes
  // next, its class id, and its new object once allocated.
  struct Pointer {
    const PointerSerializer* serializer = nullptr;
    Finder finder = nullptr;
    const TypeInfo* pointee = nullptr;
    bool expectClassId = false;
    bool expectClassName = false;
    bool expectObject = false;
    int classId = -1;
    void* object = nullptr;
    const Serializer* objectSerializer = nullptr;
    bool objectRefused = false;
  };
  Pointer pointer_;
  // Set when an object was destroyed halfway: the library still lists it.
  bool broken_ = false;
  ReadBudget* budget_ = nullptr;
  // The object last handed back half read by a failed pointer load.
  struct HalfRead {
    void* object = nullptr;
    const Serializer* serializer = nullptr;
  };
  HalfRead halfRead_;
  void DestroyHalfRead();

  int ClassIndex(const TypeInfo& type) const;
  bool Known(const TypeInfo& type) const { return ClassIndex(type) >= 0; }
  int Remember(const TypeInfo& type);
};

}  // namespace cmn

BOOST_SERIALIZATION_REGISTER_ARCHIVE(cmn::iarchive)
