#pragma once
// What the fuzz targets of the core's loaders share: small budgets (the
// mechanism is the one of the real budgets; small ones keep each input fast
// under the sanitizers) and the checks run on whatever loaded.
#include <cstdint>
#include <cstdlib>

#include "pq/dataobject.h"
#include "pq/record.h"
#include "pq/recordlist.h"

namespace core_fuzz {

constexpr std::uint64_t kBudget = std::uint64_t(4) << 20;

inline void UseSmallBudgets() { pq::SetItemBlockLimits({pq::GetItemBlockLimits().packed, kBudget}); }

// Unpacks a record as copying or pasting it does; a damaged block may throw,
// nothing else may go wrong.
inline void Unpack(const pq::Record& record, const pq::RecordList* source) {
  try {
    pq::DataObject* d = record.CreateDataObject(source);
    if (d) d->Release();
  } catch (const std::exception&) {
  }
}

// Whatever a loader accepted must save and load again.
[[noreturn]] inline void Fail() { std::abort(); }

}  // namespace core_fuzz
