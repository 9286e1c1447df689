#include "cmn/iarchive.h"

#include <algorithm>

#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>
#include <boost/archive/detail/basic_iserializer.hpp>
#include <boost/archive/detail/basic_pointer_iserializer.hpp>
#include <boost/serialization/extended_type_info.hpp>
#include <boost/serialization/void_cast.hpp>

namespace boost {
namespace archive {
template class detail::archive_serializer_map<cmn::iarchive>;
template class basic_text_iarchive<cmn::iarchive>;
template class text_iarchive_impl<cmn::iarchive>;
}  // namespace archive
}  // namespace boost

namespace cmn {

namespace {
[[noreturn]] void Refuse(const char* what) {
  throw boost::archive::archive_exception(boost::archive::archive_exception::other_exception, what);
}
}  // namespace

void iarchive::load(std::string& s) {
  std::size_t size = 0;
  text_iarchive_impl<iarchive>::load(size);
  if (size > kMaxArchiveString) Refuse("string too long");
  is.get();  // the blank before the bytes
  // Grow with what really arrives, not with what the length claims.
  std::string out;
  constexpr std::size_t kChunk = 64 * 1024;
  while (out.size() < size) {
    const std::size_t old = out.size();
    const std::size_t n = std::min(kChunk, size - old);
    out.resize(old + n);
    is.read(&out[old], static_cast<std::streamsize>(n));
    if (static_cast<std::size_t>(is.gcount()) != n)
      throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
  }
  s.swap(out);
}

void iarchive::load(boost::serialization::collection_size_type& t) {
  std::size_t n = 0;
  text_iarchive_impl<iarchive>::load(n);
  if (n > kMaxArchiveCount) Refuse("collection too large");
  t = boost::serialization::collection_size_type(n);
}

void iarchive::load(char*) { Refuse("unbounded C string"); }

int iarchive::ClassIndex(const TypeInfo& type) const {
  // Every object read asks: the type's one descriptor is found by address
  // first, the library's comparison (by name) only for a type not found so.
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (classes_[i] == &type) return static_cast<int>(i);
  for (std::size_t i = 0; i < classes_.size(); ++i)
    if (*classes_[i] == type) return static_cast<int>(i);
  return -1;
}

int iarchive::Remember(const TypeInfo& type) {
  const int known = ClassIndex(type);
  if (known >= 0) return known;
  classes_.push_back(&type);
  return static_cast<int>(classes_.size() - 1);
}

void iarchive::register_basic_serializer(const Serializer& bis) {
  Remember(bis.get_eti());
  boost::archive::detail::basic_iarchive::register_basic_serializer(bis);
}

namespace {
// Whether an object of class `from` at `object` is a `to`.
bool Converts(const boost::serialization::extended_type_info& from,
              const boost::serialization::extended_type_info& to, const void* object) {
  return from == to || boost::serialization::void_upcast(from, to, object) != nullptr;
}
}  // namespace

void iarchive::load_object(void* t, const Serializer& bis) {
  if (broken_) Refuse("archive read after a refused object");
  const TypeInfo& type = bis.get_eti();
  const int id = Remember(type);
  if (pointer_.expectObject && pointer_.classId == id) {
    // The new object of the pointer being read, constructed but not read
    // yet: the library would hand it back as the pointer's class.
    pointer_.expectObject = false;
    pointer_.object = t;
    pointer_.objectSerializer = &bis;
    if (pointer_.pointee != nullptr && !Converts(type, *pointer_.pointee, t)) {
      pointer_.objectRefused = true;
      Refuse("object of a class the pointer cannot hold");
    }
  }
  idFor_ = Loaded{id, false};
  boost::archive::detail::basic_iarchive::load_object(t, bis);
}

const iarchive::PointerSerializer* iarchive::load_pointer(void*& t, const PointerSerializer* bpis, Finder finder) {
  if (broken_) Refuse("archive read after a refused object");
  // The pointer's class id is the first thing the library reads; pointers
  // inside the object read theirs with state of their own.
  struct Restore {
    iarchive& ar;
    Pointer saved;
    ~Restore() { ar.pointer_ = saved; }
  } restore{*this, pointer_};
  pointer_ = Pointer{};
  pointer_.serializer = bpis;
  pointer_.finder = finder;
  pointer_.pointee = pointee_ ? pointee_ : (bpis ? &bpis->get_basic_serializer().get_eti() : nullptr);
  pointee_ = nullptr;
  pointer_.expectClassId = true;
  const PointerSerializer* got = nullptr;
  try {
    got = boost::archive::detail::basic_iarchive::load_pointer(t, bpis, finder);
  } catch (...) {
    if (pointer_.object != nullptr && pointer_.object == t) {
      if (pointer_.objectRefused) {
        // Never read: destroy it rather than hand it back as another class.
        pointer_.objectSerializer->destroy(t);
        t = nullptr;
        broken_ = true;
      } else if (pointer_.pointee != nullptr) {
        // Half read: the caller frees it through the pointer's own class.
        t = const_cast<void*>(
            boost::serialization::void_upcast(pointer_.objectSerializer->get_eti(), *pointer_.pointee, t));
      }
    }
    throw;
  }
  if (t != nullptr && pointer_.object != t && pointer_.pointee != nullptr && got != nullptr &&
      !Converts(got->get_eti(), *pointer_.pointee, t)) {
    // An object read before, of a class the pointer cannot hold.
    t = nullptr;
    Refuse("object of a class the pointer cannot hold");
  }
  return got;
}

void iarchive::load_override(boost::archive::class_id_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!pointer_.expectClassId) return;
  pointer_.expectClassId = false;
  const int id = t;
  if (id == -1) return;  // a null pointer
  if (id < 0) Refuse("bad class id");
  pointer_.classId = id;
  pointer_.expectObject = true;
  idFor_ = Loaded{id, true};
  const std::size_t known = classes_.size();
  if (static_cast<std::size_t>(id) < known) return;  // the library checks the class has a reader
  if (static_cast<std::size_t>(id) != known) Refuse("class id out of order");
  if (pointer_.serializer == nullptr || pointer_.serializer->get_basic_serializer().is_polymorphic()) {
    pointer_.expectClassName = true;  // the class is named next
    return;
  }
  const TypeInfo& type = pointer_.serializer->get_basic_serializer().get_eti();
  if (Known(type)) Refuse("class read twice as new");
  Remember(type);
}

void iarchive::load_override(boost::archive::class_name_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!pointer_.expectClassName) return;
  pointer_.expectClassName = false;
  const TypeInfo* type = TypeInfo::find(t);
  if (type == nullptr) return;  // the library refuses an unknown name itself
  const PointerSerializer* reader = pointer_.finder ? pointer_.finder(*type) : nullptr;
  if (reader == nullptr) Refuse("class not readable from this archive");
  const TypeInfo& own = reader->get_basic_serializer().get_eti();
  if (Known(own)) Refuse("class read twice as new");
  Remember(own);
}

void iarchive::load_override(boost::archive::object_id_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  const Loaded now = idFor_;
  idFor_ = Loaded{-1, false};
  if (now.classId < 0) Refuse("object id out of place");
  const std::size_t id = t;
  if (id == objects_.size()) {  // a new object: the library lists it next
    objects_.push_back(now);
    return;
  }
  if (id > objects_.size()) Refuse("object id out of order");
  // A reference to an object read before.
  const Loaded& was = objects_[id];
  if (was.classId != now.classId) Refuse("object referred to as another class");
  if (now.viaPointer && !was.viaPointer) Refuse("pointer to an object read in place");
  if (!now.viaPointer && was.viaPointer) Refuse("object read through a pointer, then in place");
  if (now.viaPointer) pointer_.expectObject = false;  // the library reads none
}

}  // namespace cmn
