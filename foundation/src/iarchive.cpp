#include "cmn/iarchive.h"

#include <algorithm>

#include <boost/archive/detail/archive_serializer_map.hpp>
#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>

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

}  // namespace cmn
