#include "mgr_fixture.h"

#include <algorithm>

#include <boost/make_shared.hpp>

#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/options.h"

namespace mgr_test {

struct VirtualTimers::Timer : pq::RepeatingTimer {
  Timer(VirtualTimers& o, std::function<void()> f) : owner(o), fire(std::move(f)) { owner.timers_.push_back(this); }
  ~Timer() override {
    auto& ts = owner.timers_;
    ts.erase(std::remove(ts.begin(), ts.end(), this), ts.end());
  }
  void Start(int ms) override {
    running = true;
    period = ms;
    due = sim::NowMs() + static_cast<std::uint64_t>(std::max(ms, 1));
  }
  void Stop() override { running = false; }
  bool IsRunning() const override { return running; }

  VirtualTimers& owner;
  std::function<void()> fire;
  bool running = false;
  int period = 0;
  std::uint64_t due = 0;
};

VirtualTimers::VirtualTimers() {
  pq::SetRepeatingTimerFactory([this](std::function<void()> fire) -> std::unique_ptr<pq::RepeatingTimer> {
    return std::make_unique<Timer>(*this, std::move(fire));
  });
}

VirtualTimers::~VirtualTimers() { pq::SetRepeatingTimerFactory(nullptr); }

void VirtualTimers::Advance(DWORD ms) {
  const std::uint64_t end = sim::NowMs() + ms;
  for (;;) {
    Timer* next = nullptr;
    for (Timer* t : timers_) {
      if (t->running && t->due <= end && (!next || t->due < next->due)) next = t;
    }
    if (!next) break;
    if (next->due > sim::NowMs()) sim::Advance(static_cast<DWORD>(next->due - sim::NowMs()));
    next->due += static_cast<std::uint64_t>(std::max(next->period, 1));
    next->fire();
    sim::Settle();
  }
  if (end > sim::NowMs()) sim::Advance(static_cast<DWORD>(end - sim::NowMs()));
  sim::Settle();
}

int VirtualTimers::RunningPeriod() const {
  for (auto it = timers_.rbegin(); it != timers_.rend(); ++it) {
    if ((*it)->running) return (*it)->period;
  }
  return 0;
}

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
  pq::SetOptionStore(&config->options);
  timers = std::make_unique<VirtualTimers>();
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
  pq::SetOptionStore(nullptr);
  SetAppConfig(nullptr);
  timers.reset();
  if (IsWindow(window)) DestroyWindow(window);
}

App ManagerDesktop::AddApp(const std::wstring& exe, const std::wstring& frameClass) {
  sim::ProcessSpec spec;
  spec.exePath = exe;
  App app;
  app.pid = sim::CreateProcess(spec);
  app.thread = sim::MainThread(app.pid);
  sim::WindowSpec frame;
  frame.thread = app.thread;
  frame.className = frameClass;
  app.frame = sim::AddWindow(frame);
  return app;
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
