#pragma once
// What the tests of the windows that never take the focus share: the real
// manager and hooks on the simulated desktop, started by a main frame, a
// text field of another application holding the focus (the paste target),
// the key notices handed to the popup and the floating list as the
// application's client hands them, and the records pasted from a list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_timers.h"
#include "gui_util.h"
#include "historywindow.h"
#include "lists_fixture.h"
#include "mainframe.h"
#include "platform/input.h"
#include "platform/sim/desktop.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "recordlistwindow.h"
#include "settings.h"
#include "sim_app.h"

namespace frames_test {

namespace sim = platform::sim;

// The modifiers held on the simulated desktop now: those of a key typed now.
inline pq::KeyModifiers HeldModifiers() {
  auto down = [](int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; };
  return pq::KeyModifiers{down(VK_CONTROL), down(VK_MENU), down(VK_LWIN) || down(VK_RWIN)};
}

class FramesTest : public ::testing::Test, public pq::MgrClient {
 protected:
  // The editor's frame and where its field's caret sits.
  static constexpr RECT kEditorRect{100, 100, 500, 400};

  void SetUp() override {
    sim::Reset();
    timers = std::make_unique<testing_timers::FakeTimers>();
    history.CreateDefaultLists();
    lists_test::Fill(*history.GetMainList(), {"first", "second", "third"});
    sim::WindowSpec frameSpec;
    frameSpec.rect = kEditorRect;
    editor = testing_sim::AddApp(L"/usr/bin/editor", L"EditorFrame", {}, frameSpec);
    field = sim::AddEdit(editor.thread, editor.frame);
    previousPaste = RecordListWindow::SetPasteFunction([this](const pq::RecordPtr& record, pq::RecordList*) {
      pasted.push_back(record->text);
      return true;
    });
    mainFrame = new MainFrame(&history);
    pq::Mgr::Get().SetClient(this);
    mainFrame->Start();
    sim::SetFocus(field);
    sim::Settle();
  }
  void TearDown() override {
    for (int vk : {VK_LWIN, VK_CONTROL, VK_MENU, VK_SHIFT}) {
      if (GetAsyncKeyState(vk) & 0x8000) sim::KeyUp(vk);
    }
    pq::Mgr& mgr = pq::Mgr::Get();
    if (mgr.IsStarted()) mgr.Stop();
    mgr.SetClient(nullptr);
    mgr.SetHistory(nullptr);
    RecordListWindow::SetPasteFunction(previousPaste);
    mainFrame->GetHistoryWindow()->Unregister();
    delete mainFrame;
    DispatchPending();
  }

  // pq::MgrClient: the popup's turn first, then the floating list's.
  bool OnPopupHotKey(WPARAM vk, bool released, bool repeat, pq::KeyModifiers typedWith) override {
    return popupKeys && popupKeys(static_cast<int>(vk), released, repeat, typedWith);
  }
  bool OnFloatingHotKey(WPARAM vk, pq::KeyModifiers typedWith) override {
    return floatingKeys && floatingKeys(static_cast<int>(vk), typedWith);
  }

  // How many times the manager pasted the clipboard into the field.
  int ClipboardPastes() {
    int n = 0;
    for (const sim::Received& r : sim::Messages(field)) n += r.message == WM_PASTE;
    return n;
  }

  testing_settings::ScopedSettings settings;
  std::unique_ptr<testing_timers::FakeTimers> timers;
  pq::History history;
  testing_sim::App editor;
  HWND field = nullptr;
  MainFrame* mainFrame = nullptr;
  std::vector<std::string> pasted;
  std::function<bool(int, bool, bool, pq::KeyModifiers)> popupKeys;
  std::function<bool(int, pq::KeyModifiers)> floatingKeys;

 private:
  RecordListWindow::PasteFunction previousPaste;
};

}  // namespace frames_test
