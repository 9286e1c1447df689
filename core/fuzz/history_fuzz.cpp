// The history file: load it, unpack every record, save it and load it again.
#include <cstdint>
#include <exception>

#include "appversion.h"
#include "loaders.h"
#include "pq/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const wxString path = core_fuzz::InputFile(data, size, cmn::kHistoryFileMagic);
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
