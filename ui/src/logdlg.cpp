#include "logdlg.h"

#include <wx/datetime.h>
#include <wx/sizer.h>

#include "cmn/strconv.h"
#include "dlgmgr.h"
#include "logger.h"

LogListView::LogListView(wxWindow* parent, Logger& logger)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_HRULES | wxLC_VRULES, wxDefaultValidator, "listCtrl"),
      logger(logger) {
  AppendColumn("Level");
  AppendColumn("Message");
  AppendColumn("Time");
}

wxString LogListView::CellText(long item, long column) const {
  if (item < 0) return wxString();
  const LogEntry entry = logger.GetEntry(static_cast<std::size_t>(item));
  if (entry.level < 0 || entry.time == -1) return wxString();
  switch (column) {
    case 0:
      switch (entry.level) {
        case Logger::Info: return "Info";
        case Logger::Warning: return "Warning";
        case Logger::Error: return "Error";
        default: return wxString();
      }
    case 1: return cmn::wx::FromStdString(entry.text);
    case 2: return wxDateTime(entry.time).Format();
    default: return wxString();
  }
}

void LogListView::RefreshEntries() {
  SetItemCount(static_cast<long>(logger.GetCount()));
  Refresh(true);
}

LogDlg::LogDlg(Logger& logger) : wxDialog(nullptr, wxID_ANY, "Log") {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  list = new LogListView(this, logger);
  sizer->Add(list, 1, wxEXPAND | wxALL, 5);
  sizer->Add(CreateStdDialogButtonSizer(wxOK), 0, wxEXPAND | wxALL, 5);
  SetSizerAndFit(sizer);
  SetSize(500, 500);
  RefreshEntries();
}

void ShowLogWindow() {
  Logger& logger = Logger::Get();
  if (logger.GetLogDlg()) return;
  auto* dialog = new LogDlg(logger);
  logger.SetLogDlg(dialog);
  // Unregistered however the modal loop ends: the Logger must never refresh
  // a destroyed window.
  struct Close {
    Logger& logger;
    LogDlg* dialog;
    ~Close() {
      logger.SetLogDlg(nullptr);
      dialog->Destroy();
    }
  } close{logger, dialog};
  DlgMgr::ShowModal(dialog);
}
