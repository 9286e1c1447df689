#pragma once
// The archives every file and network payload is written and read with.
// Writing uses Boost's text archive as it is. Reading uses the same text
// format through cmn::iarchive, which bounds every string length and
// collection count it reads, so damaged or hostile input cannot make it
// allocate more than the bounds below.
//
// Boost's reader also trusts the class ids an archive gives for pointers and
// indexes its class table with them; cmn::iarchive keeps a mirror of that
// table and refuses an id out of order, a "new" class it already knows and a
// class not readable here.
//
// Types exported for polymorphic pointers (BOOST_CLASS_EXPORT_IMPLEMENT) must
// be exported in a file that includes this header first, so that the export
// also registers them for cmn::iarchive.
#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/archive/detail/register_archive.hpp>
#include <boost/serialization/collection_size_type.hpp>

#include "cmn/mblock.h"

namespace cmn {

constexpr std::size_t kMaxArchiveString = kMaxBlockBytes;
constexpr std::size_t kMaxArchiveCount = std::size_t(1) << 20;

using oarchive = boost::archive::text_oarchive;

class iarchive : public boost::archive::text_iarchive_impl<iarchive> {
  friend class boost::archive::detail::interface_iarchive<iarchive>;
  friend class boost::archive::basic_text_iarchive<iarchive>;
  friend class boost::archive::load_access;

 public:
  explicit iarchive(std::istream& is, unsigned int flags = 0)
      : boost::archive::text_iarchive_impl<iarchive>(is, flags) {
    if (0 == (flags & boost::archive::no_header)) init();
  }
  ~iarchive() override {}

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

 private:
  // The class table as the library builds it, in id order.
  std::vector<const boost::serialization::extended_type_info*> classes_;
  // The pointer being read: its serializer and finder, and what comes next.
  const PointerSerializer* pointer_ = nullptr;
  Finder finder_ = nullptr;
  bool expectClassId_ = false;
  bool expectClassName_ = false;

  bool Known(const boost::serialization::extended_type_info& type) const;
  void Remember(const boost::serialization::extended_type_info& type);
};

}  // namespace cmn

BOOST_SERIALIZATION_REGISTER_ARCHIVE(cmn::iarchive)
