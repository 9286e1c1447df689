#pragma once
// The floating list: a small always-on-top window with a caption beside the
// user's work, a tool bar of the most used commands and, below it, the
// record history. It collapses to its tool bar and opens again. From any
// application the floating-list keys drive it (the arrows and Enter with
// the configured modifiers, Win by default), which the clipboard manager
// hands over when the popup list did not take them. Pasting from it leaves
// it where it is.
#include "cmn/option.h"
#include "historyframe.h"

namespace pq {
struct KeyModifiers;
}

class wxListEvent;
class wxToolBar;

class FloatingWindow : public HistoryFrame, public cmn::option<int>::observer {
 public:
  // Only heights above this are kept as the height an expand restores.
  static constexpr int kMinExpandedHeight = 100;

  explicit FloatingWindow(pq::History* history);
  ~FloatingWindow() override;

  // At start-up: follows OPT_RECORDING, applies OPT_FLOATING_RECT (moved
  // onto the nearest monitor when it lies off every one), builds the pages
  // with the tab of OPT_FLOATING_TAB, shows the window (without taking the
  // focus) when OPT_FLOATING_SHOWN says so, and takes the expanded height of
  // OPT_FLOATING_HEIGHT.
  void RestoreState();
  // At exit: the tab, whether it is shown, its rectangle, the expanded
  // height.
  void SaveState();
  // Stops following OPT_RECORDING (the shut-down's step; the destructor
  // does it too).
  void Unregister();

  // Expanded when the client area below the tool bar was last given a
  // height by Expand, Collapse or the stored rectangle.
  bool IsExpanded() const;
  void Expand();
  void Collapse();
  int GetExpandedHeight() const { return expandedHeight; }

  // One floating-list key notice with the modifiers its key was typed with;
  // true when taken.
  bool OnHotKey(int virtualKey, const pq::KeyModifiers& typedWith);

  void OnOptionChanged(const int& id) override;

  // A rectangle that lies off every monitor, moved onto the nearest one;
  // any other as it stands.
  static wxRect OntoMonitor(const wxRect& rect);

 private:
  void BuildToolBar();
  // Swaps the last tool between "&Open" and "&Close", and stretches the
  // spacer so that it stays at the right edge, once a resize settled.
  void OnSizeSettled(wxCommandEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnOpenTool(wxCommandEvent& event);
  void OnCloseTool(wxCommandEvent& event);
  void OnItemActivated(wxListEvent& event);

  // Asks for a client height and notes the state it stands for.
  void RequestClientHeight(int height);

  // What was last asked for: the toolkit's size reports come late and may
  // first repeat an older size, so they never decide the state.
  bool expanded = false;
  int clientWidth = 0;
  int expandedHeight = kMinExpandedHeight;
  int toolBarWidth = 0;  // the bar's width with every tool and the spacer empty
  bool observing = false;

  wxDECLARE_EVENT_TABLE();
};
