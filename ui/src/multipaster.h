#pragma once
// "Paste Records": pastes several records of one list into the application
// that was working before. With OPT_MULTIPASTE_AT_ONCE (the default) the
// chosen records' texts, each followed by the separator text when the box is
// ticked, become one new text record pasted once. Without it a timer pastes
// the chosen records one per tick, the separator between two of them, and
// the button pauses and resumes. Escape and the close box cancel: the dialog
// has no Cancel button, and the toolkit would take either for its OK (and
// start pasting).
#include <memory>
#include <vector>

#include <wx/dialog.h>

#include "cmn/timer.h"
#include "pq/recordlist.h"

class RecordListWindow;
class wxCheckBox;
class wxTextCtrl;
class wxUpdateUIEvent;

class MultiPaster : public wxDialog {
 public:
  static constexpr int kTickMs = 288;

  MultiPaster(wxWindow* parent, pq::RecordList* list);
  ~MultiPaster() override;

  // Pastes every record of the list, in its order: at once without showing
  // the dialog; one by one with every row selected in the dialog, shown
  // through the dialog manager (nothing is pasted when it shows none).
  void PasteAll();
  // Whether a one-by-one run is going (not paused, not done).
  bool IsRunning() const;

  RecordListWindow* GetListWindow() const { return listWindow; }
  wxCheckBox* GetInsertBox() const { return insertBox; }
  wxTextCtrl* GetSeparatorText() const { return separatorText; }

 private:
  void OnStart(wxCommandEvent& event);
  void OnUpdateStart(wxUpdateUIEvent& event);
  void OnCancel(wxCommandEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnCharHook(wxKeyEvent& event);
  void OnInsertChecked(wxCommandEvent& event);
  void OnTick();
  // Stops pasting and ends the dialog with Cancel.
  void Cancel();
  // The separator as typed, stored under OPT_MULTIPASTE_TEXT; for the paste
  // its line breaks become CR LF.
  wxString ReadSeparator();
  // The texts of the records at `rows`, each followed by the separator when
  // the box is ticked, pasted as one new record.
  void PasteJoined(const std::vector<long>& rows);

  std::unique_ptr<cmn::Timer> timer;
  pq::RecordList* list;
  RecordListWindow* listWindow = nullptr;
  wxTextCtrl* separatorText = nullptr;
  wxCheckBox* insertBox = nullptr;
  // Ticks of the current run; their parity alternates record and separator.
  int ticks = 0;

  wxDECLARE_EVENT_TABLE();
};
