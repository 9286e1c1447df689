#pragma once
// A record holding one item, as the benchmarks of the core and the windows
// make them. Header only; needs the core.
#include <boost/make_shared.hpp>

#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/record.h"

namespace testing_bench {

// Takes `item` over.
inline pq::RecordPtr RecordOf(pq::Item* item) {
  auto* d = new pq::DataObject;
  d->Items().push_back(item);
  auto record = boost::make_shared<pq::Record>();
  record->SetItems(*d);
  d->Release();
  return record;
}

}  // namespace testing_bench
