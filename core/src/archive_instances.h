#pragma once
// The archive bodies of records, lists, the history and the search list are
// defined in their sources and instantiated there for the archives the
// program writes and reads. The class exports register every text reader, so
// the library's unbounded one gets an instance too; nothing reads with it.
#include "cmn/iarchive.h"

#define PQ_ARCHIVE_INSTANCES(Class)                                    \
  template void Class::save(cmn::oarchive&, unsigned) const;          \
  template void Class::load(cmn::iarchive&, unsigned);                \
  template void Class::load(boost::archive::text_iarchive&, unsigned)
