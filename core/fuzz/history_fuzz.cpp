// The history file: load it, unpack every record, save it and load it again.
#include <cstdint>
#include <exception>

#include "appversion.h"
#include "fuzz_archive.h"
#include "loaders.h"
#include "pq/history.h"
#include "sandbox.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  testing_sandbox::Enter();
  core_fuzz::UseSmallBudgets();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const wxString path = wxString::FromUTF8(
      testing_fuzz::WriteInput(testing_fuzz::FileBytes(data, size, cmn::kHistoryFileMagic)));
  pq::History history;
  try {
    history.Load(path, core_fuzz::kBudget);
  } catch (const std::exception&) {
    return 0;
  }
  for (pq::RecordList* list : history.GetLists())
    for (const pq::RecordPtr& record : list->GetRecords()) core_fuzz::Unpack(*record, list);
  const wxString again = path + ".saved";
  try {
    history.Save(again, ArchiveInfo(APP_VERSION_CODE, 1));
    pq::History back;
    back.Load(again, cmn::kFileReadBudget);
    if (back.GetLists().size() != history.GetLists().size()) core_fuzz::Fail();
  } catch (const std::exception&) {
    core_fuzz::Fail();
  }
  return 0;
}
