#include "multipaster.h"

#include <numeric>

#include <boost/make_shared.hpp>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "dlgmgr.h"
#include "options.h"
#include "pq/record.h"
#include "recordlistwindow.h"

namespace {
constexpr int kInsertBoxId = 8999;

bool AtOnce() { return OptionValue<bool>(OPT_MULTIPASTE_AT_ONCE, false); }

// A record of one text, made for one paste and kept in no list.
pq::RecordPtr TextRecord(const wxString& text) {
  auto record = boost::make_shared<pq::Record>();
  record->SetText(text);
  return record;
}
}  // namespace

wxBEGIN_EVENT_TABLE(MultiPaster, wxDialog)
  EVT_BUTTON(wxID_OK, MultiPaster::OnStart)
  EVT_UPDATE_UI(wxID_OK, MultiPaster::OnUpdateStart)
  EVT_BUTTON(wxID_CANCEL, MultiPaster::OnCancel)
  EVT_CLOSE(MultiPaster::OnClose)
  EVT_CHAR_HOOK(MultiPaster::OnCharHook)
  EVT_CHECKBOX(kInsertBoxId, MultiPaster::OnInsertChecked)
wxEND_EVENT_TABLE()

MultiPaster::MultiPaster(wxWindow* parent, pq::RecordList* list)
    : wxDialog(parent, wxID_ANY, "Paste Records", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
               "dialog"),
      timer(cmn::MakeTimer(cmn::Timer::kRepeating, [this] { OnTick(); })),
      list(list) {
  listWindow = new RecordListWindow(this, RecordListWindow::kMultipleSelection);
  listWindow->SetRecordList(list);
  insertBox = new wxCheckBox(this, kInsertBoxId, "Insert text between records:");
  insertBox->SetValue(OptionValue<bool>(OPT_MULTIPASTE_INSERT, false));
  separatorText = new wxTextCtrl(this, wxID_ANY, OptionValue<wxString>(OPT_MULTIPASTE_TEXT, wxString()),
                                 wxDefaultPosition, wxSize(-1, 80), wxTE_MULTILINE);
  separatorText->Enable(insertBox->GetValue());

  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(new wxStaticText(this, wxID_ANY, "Please select records to paste"), 0, wxALL, 5);
  column->Add(listWindow, 1, wxEXPAND | wxALL, 5);
  column->Add(insertBox, 0, wxEXPAND | wxALL, 5);
  column->Add(separatorText, 0, wxEXPAND | wxALL, 5);
  column->Add(CreateStdDialogButtonSizer(wxOK), 0, wxEXPAND | wxALL, 5);
  SetSizer(column);
  FindWindow(wxID_OK)->SetLabel("Start");
  SetSize(300, 600);
  // Not the default button's focus GTK would give: Start begins disabled,
  // and keys sent to a disabled button go nowhere.
  listWindow->SetFocus();
}

MultiPaster::~MultiPaster() {
  listWindow->SetRecordList(nullptr);
  timer.reset();
}

bool MultiPaster::IsRunning() const { return timer && timer->IsRunning(); }

void MultiPaster::PasteAll() {
  if (!list) return;
  std::vector<long> rows(list->GetCount());
  std::iota(rows.begin(), rows.end(), 0L);
  if (AtOnce()) {
    PasteJoined(rows);
    return;
  }
  for (long row : rows) listWindow->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  ticks = 0;
  if (timer) timer->Start(kTickMs);
  if (!DlgMgr::ShowModal(this) && timer) timer->Stop();
}

void MultiPaster::OnUpdateStart(wxUpdateUIEvent& event) {
  event.Enable(listWindow->GetSelectedRow() >= 0);
  event.SetText(IsRunning() ? "Pause" : "Start");
}

void MultiPaster::OnInsertChecked(wxCommandEvent&) {
  SetOption(OPT_MULTIPASTE_INSERT, insertBox->GetValue());
  separatorText->Enable(insertBox->GetValue());
}

void MultiPaster::OnStart(wxCommandEvent&) {
  if (AtOnce()) {
    PasteJoined(listWindow->GetSelectedRows());
    if (IsModal()) EndModal(wxID_OK);
    return;
  }
  if (!timer) return;
  if (timer->IsRunning()) {
    timer->Stop();
  } else {
    timer->Start(kTickMs);
  }
}

void MultiPaster::OnTick() {
  ++ticks;
  const long row = listWindow->GetSelectedRow();
  if (row < 0) {
    timer->Stop();
    ticks = 0;
    return;
  }
  pq::RecordPtr item;
  if (insertBox->GetValue() && ticks % 2 == 0) {
    item = TextRecord(ReadSeparator());
  } else {
    item = list ? list->GetRecord(static_cast<unsigned>(row)) : pq::RecordPtr();
    listWindow->SetItemState(row, 0, wxLIST_STATE_SELECTED);
  }
  if (item) RecordListWindow::Paste(item, nullptr);
  if (listWindow->GetSelectedRow() < 0) {
    timer->Stop();
    // A new run begins with a record, not with the separator that would
    // have followed the last one.
    ticks = 0;
  }
}

void MultiPaster::OnCancel(wxCommandEvent&) { Cancel(); }

void MultiPaster::OnClose(wxCloseEvent&) { Cancel(); }

void MultiPaster::OnCharHook(wxKeyEvent& event) {
  if (event.GetKeyCode() == WXK_ESCAPE) {
    Cancel();
    return;
  }
  event.Skip();
}

void MultiPaster::Cancel() {
  if (timer) timer->Stop();
  if (IsModal()) EndModal(wxID_CANCEL);
}

wxString MultiPaster::ReadSeparator() {
  wxString separator = separatorText->GetValue();
  SetOption(OPT_MULTIPASTE_TEXT, separator);
  separator.Replace("\n", "\r\n");
  return separator;
}

void MultiPaster::PasteJoined(const std::vector<long>& rows) {
  if (!list) return;
  const wxString separator = ReadSeparator();
  const bool insert = insertBox->GetValue();
  wxString joined;
  for (long row : rows) {
    const pq::RecordPtr record = list->GetRecord(static_cast<unsigned>(row));
    if (!record) continue;
    joined += record->GetText();
    if (insert) joined += separator;
  }
  RecordListWindow::Paste(TextRecord(joined), nullptr);
}
