// A record-list file: load it, unpack every record, save it and load it
// again.
#include <cstdint>
#include <exception>

#include "appversion.h"
#include "loaders.h"
#include "pq/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const wxString path = core_fuzz::InputFile(data, size, cmn::kRecordListFileMagic);
  pq::RecordList list;
  try {
    pq::LoadRecordListFile(list, path, core_fuzz::kBudget);
  } catch (const std::exception&) {
    if (list.GetCount() != 0) core_fuzz::Fail();  // a failed load leaves the list as it was
    return 0;
  }
  for (const pq::RecordPtr& record : list.GetRecords()) core_fuzz::Unpack(*record, &list);
  const wxString again = path + ".saved";
  try {
    pq::SaveRecordListFile(again, ArchiveInfo(APP_VERSION_CODE, 1), list);
    pq::RecordList back;
    pq::LoadRecordListFile(back, again);
    if (back.GetCount() != list.GetCount()) core_fuzz::Fail();
  } catch (const std::exception&) {
    core_fuzz::Fail();
  }
  return 0;
}
