#include "cmn/iarchive.h"

#include <algorithm>

#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>
#include <boost/archive/detail/basic_iserializer.hpp>
#include <boost/archive/detail/basic_pointer_iserializer.hpp>
#include <boost/serialization/extended_type_info.hpp>

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

bool iarchive::Known(const boost::serialization::extended_type_info& type) const {
  // Every object read asks: the type's one descriptor is found by address
  // first, the library's comparison (by name) only for a type not found so.
  for (const boost::serialization::extended_type_info* c : classes_)
    if (c == &type) return true;
  for (const boost::serialization::extended_type_info* c : classes_)
    if (*c == type) return true;
  return false;
}

void iarchive::Remember(const boost::serialization::extended_type_info& type) {
  if (!Known(type)) classes_.push_back(&type);
}

void iarchive::register_basic_serializer(const Serializer& bis) {
  Remember(bis.get_eti());
  boost::archive::detail::basic_iarchive::register_basic_serializer(bis);
}

void iarchive::load_object(void* t, const Serializer& bis) {
  Remember(bis.get_eti());
  boost::archive::detail::basic_iarchive::load_object(t, bis);
}

const iarchive::PointerSerializer* iarchive::load_pointer(void*& t, const PointerSerializer* bpis, Finder finder) {
  // The pointer's class id is the first thing the library reads; pointers
  // inside the object read theirs with state of their own.
  struct Restore {
    iarchive& ar;
    const PointerSerializer* pointer;
    Finder finder;
    bool id, name;
    ~Restore() {
      ar.pointer_ = pointer;
      ar.finder_ = finder;
      ar.expectClassId_ = id;
      ar.expectClassName_ = name;
    }
  } restore{*this, pointer_, finder_, expectClassId_, expectClassName_};
  pointer_ = bpis;
  finder_ = finder;
  expectClassId_ = true;
  expectClassName_ = false;
  return boost::archive::detail::basic_iarchive::load_pointer(t, bpis, finder);
}

void iarchive::load_override(boost::archive::class_id_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!expectClassId_) return;
  expectClassId_ = false;
  const int id = t;
  if (id == -1) return;  // a null pointer
  if (id < 0) Refuse("bad class id");
  const std::size_t known = classes_.size();
  if (static_cast<std::size_t>(id) < known) return;  // the library checks the class has a reader
  if (static_cast<std::size_t>(id) != known) Refuse("class id out of order");
  if (pointer_ == nullptr || pointer_->get_basic_serializer().is_polymorphic()) {
    expectClassName_ = true;  // the class is named next
    return;
  }
  const boost::serialization::extended_type_info& type = pointer_->get_basic_serializer().get_eti();
  if (Known(type)) Refuse("class read twice as new");
  Remember(type);
}

void iarchive::load_override(boost::archive::class_name_type& t) {
  text_iarchive_impl<iarchive>::load_override(t);
  if (!expectClassName_) return;
  expectClassName_ = false;
  const boost::serialization::extended_type_info* type = boost::serialization::extended_type_info::find(t);
  if (type == nullptr) return;  // the library refuses an unknown name itself
  const PointerSerializer* reader = finder_ ? finder_(*type) : nullptr;
  if (reader == nullptr) Refuse("class not readable from this archive");
  const boost::serialization::extended_type_info& own = reader->get_basic_serializer().get_eti();
  if (Known(own)) Refuse("class read twice as new");
  Remember(own);
}

}  // namespace cmn
