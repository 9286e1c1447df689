#pragma once
// The manager on a fresh simulated desktop: our main window (subclassed by the
// real manager, with the real hooks installed), the taskbar of a shell
// process, an editor application with an edit control, the settings' option
// defaults and the default history. Timers run on the virtual clock.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "appconfig.h"
#include "fake_timers.h"
#include "platform/clipboard.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "sim_app.h"

namespace mgr_test {

namespace sim = platform::sim;

// What the application's later parts would receive.
class RecordingClient : public pq::MgrClient {
 public:
  bool OnPopupHotKey(WPARAM vk, bool released, bool repeat, pq::KeyModifiers typedWith) override {
    log.push_back("popup " + std::to_string(vk) + (released ? " released" : "") + (repeat ? " repeat" : "") +
                  Modifiers(typedWith));
    return popupTakes;
  }
  bool OnFloatingHotKey(WPARAM vk, pq::KeyModifiers typedWith) override {
    log.push_back("floating " + std::to_string(vk) + Modifiers(typedWith));
    return true;
  }
  static std::string Modifiers(const pq::KeyModifiers& m) {
    return std::string(m.ctrl ? " ctrl" : "") + (m.alt ? " alt" : "") + (m.win ? " win" : "");
  }
  void AnimateTaskbarIcon() override { log.push_back("animate"); }
  void SendRecord(const pq::RecordPtr& record, const NetworkAddress& host) override {
    log.push_back("send " + record->text + " to " + host.host + ":" + std::to_string(host.port));
  }
  bool popupTakes = true;
  std::vector<std::string> log;
};

using App = testing_sim::App;

// The main frame's own procedure: notes what reaches it.
LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
std::vector<UINT>& FrameMessages();

class ManagerDesktop : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A running application with a top-level window (testing_sim::AddApp).
  App AddApp(const std::wstring& exe, const std::wstring& frameClass = L"AppFrame",
             const sim::ProcessSpec& process = {}) {
    return testing_sim::AddApp(exe, frameClass, process);
  }
  // A window of `app` of the given class (a child of its frame).
  HWND AddControl(const App& app, const std::wstring& className);
  // `owner`'s application puts data on the clipboard; all queued work runs.
  void Copy(HWND owner, const std::vector<sim::ClipData>& data);
  void CopyText(HWND owner, const std::wstring& text);
  // Gives the focus to a window of another application and lets the
  // manager see the notice.
  void Focus(HWND hwnd);
  // Our window shown and in front.
  void BringOursToFront();

  pq::RecordList& Main() { return *history.GetMainList(); }
  std::vector<std::string> MainTexts();
  pq::Mgr& mgr() { return pq::Mgr::Get(); }
  // A record of one text (and optionally an HTML item), as a capture makes it.
  pq::RecordPtr TextRecord(const std::string& text, const std::string& html = "");

  std::unique_ptr<AppConfig> config;
  std::unique_ptr<testing_timers::FakeTimers> timers;
  pq::History history;
  HWND window = nullptr;  // our main window
  App shell;              // the taskbar's process
  HWND tray = nullptr;
  App editorApp;
  HWND editor = nullptr;  // an Edit control of the editor
};

}  // namespace mgr_test
