#pragma once
// The archives every file and network payload is written and read with.
// Writing uses Boost's text archive as it is. Reading uses the same text
// format through cmn::iarchive, which bounds every string length and
// collection count it reads, so damaged or hostile input cannot make it
// allocate more than the bounds below.
//
// Types exported for polymorphic pointers (BOOST_CLASS_EXPORT_IMPLEMENT) must
// be exported in a file that includes this header first, so that the export
// also registers them for cmn::iarchive.
#include <cstddef>
#include <istream>
#include <string>

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

 protected:
  using boost::archive::text_iarchive_impl<iarchive>::load;
  void load(std::string& s);
  void load(boost::serialization::collection_size_type& t);
  // A C string has no length to bound: none of our types archives one.
  void load(char* s);
};

}  // namespace cmn

BOOST_SERIALIZATION_REGISTER_ARCHIVE(cmn::iarchive)
