#pragma once
// What the fuzz targets of the core's loaders share: small budgets (the
// mechanism is the one of the real budgets; small ones keep each input fast
// under the sanitizers) and the checks run on whatever loaded. Included by
// the one source of each target, it also defines the target's start.
#include <cstdint>
#include <cstdlib>

#include <wx/string.h>

#include "fuzz_archive.h"
#include "pq/dataobject.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "sandbox.h"

namespace core_fuzz {

constexpr std::uint64_t kBudget = std::uint64_t(4) << 20;

// The input as an archive file with `magic`, written to the sandbox.
inline wxString InputFile(const uint8_t* data, size_t size, std::uint32_t magic) {
  return wxString::FromUTF8(testing_fuzz::WriteInput(testing_fuzz::FileBytes(data, size, magic)));
}

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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  testing_sandbox::Enter();
  pq::SetItemBlockLimits({pq::GetItemBlockLimits().packed, core_fuzz::kBudget});
  return 0;
}
