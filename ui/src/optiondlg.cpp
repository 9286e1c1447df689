#include "optiondlg.h"

#include <wx/bookctrl.h>
#include <wx/weakref.h>

#include "dlgmgr.h"
#include "optionpage.h"

wxBEGIN_EVENT_TABLE(OptionDlg, wxPropertySheetDialog)
  EVT_BUTTON(wxID_OK, OptionDlg::OnOK)
  EVT_BOOKCTRL_PAGE_CHANGING(wxID_ANY, OptionDlg::OnPageChanging)
  EVT_BOOKCTRL_PAGE_CHANGED(wxID_ANY, OptionDlg::OnPageChanged)
wxEND_EVENT_TABLE()

OptionDlg::OptionDlg(wxWindow* parent) {
  Create(parent, wxID_ANY, "Options", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE, "dialog");
  OptionPageType::SortRegistry();
  wxBookCtrlBase* book = GetBookCtrl();
  for (const OptionPageType* type : OptionPageType::GetRegistry()) {
    // A type whose page could not be made has no tab; the others still do.
    OptionPage* page = type->CreatePage(book);
    if (page) book->AddPage(page->GetPageWindow(), type->title, false, -1);
  }
  CreateButtons(wxOK | wxCANCEL);
  LayoutDialog();
  // The dialog opens with the first tab's first control focused, as an
  // entered tab has it; else the keys would go nowhere until a click.
  if (wxWindow* first = book->GetCurrentPage()) first->SetFocus();
}

OptionPage* OptionDlg::GetPage(std::size_t i) const {
  wxBookCtrlBase* book = GetBookCtrl();
  return i < book->GetPageCount() ? dynamic_cast<OptionPage*>(book->GetPage(i)) : nullptr;
}

void OptionDlg::OnOK(wxCommandEvent&) {
  wxBookCtrlBase* book = GetBookCtrl();
  const std::size_t count = book->GetPageCount();
  // Every page is checked before any page writes. Each is checked while it
  // is the tab shown, so that a refusing page stands under its message with
  // its control focused.
  for (std::size_t i = 0; i < count; ++i) {
    OptionPage* page = GetPage(i);
    if (!page) continue;
    if (static_cast<std::size_t>(book->GetSelection()) != i) book->ChangeSelection(i);
    if (!page->ValidatePage()) return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    OptionPage* page = GetPage(i);
    if (page && !page->ApplyPage()) return;
  }
  EndModal(wxID_OK);
}

void OptionDlg::OnPageChanging(wxBookCtrlEvent& event) {
  // Only the dialog's own book: a book inside a page is that page's.
  if (event.GetEventObject() != GetBookCtrl()) return event.Skip();
  const int current = GetBookCtrl()->GetSelection();
  OptionPage* page = current == wxNOT_FOUND ? nullptr : GetPage(current);
  if (!page || page->ValidatePage()) return;
  event.Veto();
  // GTK's notebook honours the veto of a click on a tab but not that of its
  // keys (Ctrl+Page Down), and a click takes the focus to the tabs: once the
  // change has run its course, the tab is shown again if it was left, and
  // the focus goes back where the refusal put it.
  wxWeakRef<wxWindow> focus(wxWindow::FindFocus());
  CallAfter([this, current, focus] {
    if (GetBookCtrl()->GetSelection() != current) GetBookCtrl()->ChangeSelection(current);
    if (focus && focus != wxWindow::FindFocus() && GetBookCtrl()->GetPage(current)->IsDescendant(focus))
      focus->SetFocus();
  });
}

void OptionDlg::OnPageChanged(wxBookCtrlEvent& event) {
  if (event.GetEventObject() != GetBookCtrl()) return event.Skip();
  const int current = GetBookCtrl()->GetSelection();
  if (current == wxNOT_FOUND) return;
  if (wxWindow* window = GetBookCtrl()->GetPage(current)) window->SetFocus();
}

void ShowOptionsDialog(wxWindow* parent) {
  OptionDlg dialog(parent);
  DlgMgr::ShowModal(&dialog);
}
