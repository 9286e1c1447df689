#include "historyframe.h"

#include <wx/sizer.h>

#include "desktop.h"
#include "historywindow.h"
#include "platform/window.h"
#include "recordlistwindow.h"

wxBEGIN_EVENT_TABLE(HistoryFrame, wxMiniFrame)
  EVT_CLOSE(HistoryFrame::OnClose)
  EVT_SHOW(HistoryFrame::OnShown)
wxEND_EVENT_TABLE()

HistoryFrame::HistoryFrame(long style, pq::History* history, const wchar_t* className)
    : wxMiniFrame(nullptr, wxID_ANY, _("Clipboard Records"), wxDefaultPosition, wxDefaultSize,
                  style | wxSTAY_ON_TOP | wxFRAME_TOOL_WINDOW, "frame"),
      historyWindow(new HistoryWindow(history, this)) {
  // Commands left unhandled go to the application, never to a parent.
  SetExtraStyle(GetExtraStyle() | wxWS_EX_BLOCK_EVENTS);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(historyWindow, 1, wxEXPAND);
  SetSizer(sizer);
  window = RegisterToolkitWindow(this, className, L"Clipboard Records");
}

HistoryFrame::~HistoryFrame() {
  if (window) ::DestroyWindow(window);
}

void HistoryFrame::OnClose(wxCloseEvent& event) {
  Show(false);
  if (event.CanVeto()) event.Veto();
}

void HistoryFrame::MoveSelection(bool previous) {
  if (RecordListWindow* list = historyWindow->GetCurrentRecordListWindow()) list->SelectAdjacent(previous);
}

void HistoryFrame::PasteSelected(wxWindow* frameToHide) {
  if (RecordListWindow* list = historyWindow->GetCurrentRecordListWindow()) list->PasteSelected(frameToHide);
}

bool HistoryFrame::Show(bool show) {
  if (show) ForgetLateShow();
  wantShown = show;
  return wxMiniFrame::Show(show);
}

void HistoryFrame::OnShown(wxShowEvent& event) {
  event.Skip();
  if (!event.IsShown() || wantShown) return;
  CallAfter([this] { ForgetLateShow(); });
}

void HistoryFrame::ForgetLateShow() {
  if (!wantShown && IsShown()) wxMiniFrame::Show(false);
}

bool HistoryFrame::ShowNoActivate() {
  if (IsMeantShown()) return false;
  // Until then the toolkit would take the frame for shown and ignore this.
  ForgetLateShow();
  ShowWithoutActivating();
  return true;
}

wxSize HistoryFrame::UsableSize(const wxSize& stored) {
  if (stored.GetWidth() > 0 && stored.GetHeight() > 0) return stored;
  return wxSize(kDefaultWidth, kDefaultHeight);
}
