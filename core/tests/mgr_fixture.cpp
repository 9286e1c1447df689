#include "mgr_fixture.h"

#include <algorithm>

#include <boost/make_shared.hpp>

#include "pq/dataobject.h"
#include "pq/item.h"
#include "options.h"

namespace mgr_test {

std::vector<UINT>& FrameMessages() {
  static std::vector<UINT> messages;
  return messages;
}

LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  FrameMessages().push_back(msg);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ManagerDesktop::SetUp() {
  FrameMessages().clear();
  sim::Reset();
  config = std::make_unique<AppConfig>();
  SetAppConfig(config.get());
  timers = std::make_unique<testing_timers::FakeTimers>();
  history.CreateDefaultLists();

  shell = AddApp(L"/usr/bin/shell", L"Shell_TrayWnd");
  tray = shell.frame;
  editorApp = AddApp(L"/usr/bin/editor", L"EditorFrame");
  editor = sim::AddEdit(editorApp.thread, editorApp.frame);

  window = platform::CreateToolkitWindow(L"PastiqMainFrame", L"Pastiq", nullptr, &FrameProc);
  mgr().SetHistory(&history);
  mgr().SetClient(nullptr);
  mgr().Start(window);
  sim::Settle();
}

void ManagerDesktop::TearDown() {
  mgr().Stop();
  mgr().SetClient(nullptr);
  mgr().SetHistory(nullptr);
  SetAppConfig(nullptr);
  timers.reset();
  if (IsWindow(window)) DestroyWindow(window);
}

HWND ManagerDesktop::AddControl(const App& app, const std::wstring& className) {
  sim::WindowSpec spec;
  spec.thread = app.thread;
  spec.className = className;
  spec.parent = app.frame;
  return sim::AddWindow(spec);
}

void ManagerDesktop::Copy(HWND owner, const std::vector<sim::ClipData>& data) {
  ASSERT_TRUE(sim::PutClipboard(owner, data));
  sim::Settle();
}

void ManagerDesktop::CopyText(HWND owner, const std::wstring& text) { Copy(owner, {sim::UnicodeText(text)}); }

void ManagerDesktop::Focus(HWND hwnd) {
  sim::SetFocus(hwnd);
  sim::Settle();
}

void ManagerDesktop::BringOursToFront() {
  RECT r{10, 10, 400, 300};
  platform::UpdateToolkitWindow(window, &r, 1);
  ASSERT_TRUE(SetForegroundWindow(window));
  sim::Settle();
}

std::vector<std::string> ManagerDesktop::MainTexts() {
  std::vector<std::string> out;
  for (const auto& r : Main().GetRecords()) out.push_back(r->text);
  return out;
}

pq::RecordPtr ManagerDesktop::TextRecord(const std::string& text, const std::string& html) {
  auto record = boost::make_shared<pq::Record>();
  auto* d = new pq::DataObject;
  if (!html.empty()) {
    auto* item = new pq::HtmlItem;
    item->SetBlock(html.data(), html.size());
    d->Items().push_back(item);
  }
  d->Items().push_back(new pq::TextItem(text));
  record->SetItems(*d);
  d->Release();
  return record;
}

}  // namespace mgr_test
