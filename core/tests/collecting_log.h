#pragma once
// A log target that keeps the toolkit's warnings, for tests of what is
// logged.
#include <vector>

#include <wx/log.h>

namespace core_test {

class CollectingLog : public wxLog {
 public:
  std::vector<wxString> warnings;

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
    if (level == wxLOG_Warning) warnings.push_back(msg);
  }
};

}  // namespace core_test
