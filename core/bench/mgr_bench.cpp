// The manager on the simulated desktop: one capture of a clip of text, HTML
// and RTF (about 10 KB), from the clipboard change to the record at the front
// of the listening list, and one paste of such a record into an edit control
// (by message) and into another editor (by typed Ctrl+V). The desktop's waits
// run on its virtual clock, so the times are the program's own work plus the
// simulated applications'.
#include <memory>
#include <random>
#include <string>

#include <benchmark/benchmark.h>

#include "appconfig.h"
#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"
#include "pq/dataobject.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "options.h"
#include "sim_app.h"
#include "pq/record.h"
#include "pq/recordlist.h"

namespace {

namespace sim = platform::sim;

std::string Filler(std::mt19937& rng, std::size_t bytes) {
  static const char* const words[] = {"clipboard", "manager", "capture", "paste", "editor", "window", "record"};
  std::string s;
  while (s.size() < bytes) {
    s += words[rng() % (sizeof words / sizeof *words)];
    s += ' ';
  }
  s.resize(bytes);
  return s;
}

// A desktop with an editor, our window and a started manager.
struct Desktop {
  Desktop() {
    sim::Reset();
    config = std::make_unique<AppConfig>();
    SetAppConfig(config.get());
    // No re-join timer here: the toolkit's timer needs an event loop.
    config->options.Set(OPT_REJOIN_VIEWER, false);
    history.CreateDefaultLists();

    const testing_sim::App editor = testing_sim::AddApp(L"/usr/bin/editor", L"EditorFrame");
    pid = editor.pid;
    thread = editor.thread;
    frame = editor.frame;
    edit = sim::AddEdit(thread, frame);
    codeEditor = sim::AddEdit(thread, frame, L"CodeEditor");

    window = platform::CreateToolkitWindow(L"PastiqMainFrame", L"Pastiq");
    pq::Mgr::Get().SetHistory(&history);
    pq::Mgr::Get().Start(window);
    sim::Settle();
  }
  ~Desktop() {
    pq::Mgr::Get().Stop();
    pq::Mgr::Get().SetHistory(nullptr);
    SetAppConfig(nullptr);
    DestroyWindow(window);
  }

  std::vector<sim::ClipData> Clip(std::mt19937& rng, int n) {
    const std::string text = Filler(rng, 4000) + " #" + std::to_string(n);
    const std::string html = "<html><body><p>" + Filler(rng, 4000) + "</p></body></html>";
    const std::string rtf = "{\\rtf1\\ansi " + Filler(rng, 2000) + "}";
    std::wstring wide(text.begin(), text.end());
    return {sim::UnicodeText(wide), sim::Named(L"HTML Format", html), sim::Named(L"Rich Text Format", rtf)};
  }

  std::unique_ptr<AppConfig> config;
  pq::History history;
  DWORD pid = 0, thread = 0;
  HWND frame = nullptr, edit = nullptr, codeEditor = nullptr, window = nullptr;
};

void BM_Capture(benchmark::State& state) {
  Desktop desktop;
  std::mt19937 rng(7);
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto clip = desktop.Clip(rng, n++);
    state.ResumeTiming();
    sim::PutClipboard(desktop.edit, clip);
    sim::Settle();
  }
  pq::RecordList* main = desktop.history.GetMainList();
  if (main->GetCount() == 0 || main->GetRecord(0)->textIndex < 0) {
    state.SkipWithError("nothing was recorded");
    return;
  }
  // Text, HTML and RTF (and the locale the clipboard adds), then our tag.
  pq::DataObject* d = main->GetRecord(0)->CreateDataObject(main);
  const std::size_t items = d ? d->Items().size() : 0;
  if (d) d->Release();
  if (items < 4) state.SkipWithError("the record lacks formats");
  state.SetLabel("text, HTML and RTF, 10 KB");
}
BENCHMARK(BM_Capture)->Unit(benchmark::kMillisecond);

void BM_Paste(benchmark::State& state) {
  Desktop desktop;
  std::mt19937 rng(11);
  sim::PutClipboard(desktop.edit, desktop.Clip(rng, 0));
  sim::Settle();
  const pq::RecordPtr record = desktop.history.GetMainList()->GetRecord(0);
  const HWND target = state.range(0) ? desktop.codeEditor : desktop.edit;
  sim::SetFocus(target);
  sim::Settle();
  for (auto _ : state) {
    state.PauseTiming();
    sim::SetEditText(target, L"");
    if (state.range(0)) {
      RECT r{10, 10, 400, 300};
      platform::UpdateToolkitWindow(desktop.window, &r, 1);
      SetForegroundWindow(desktop.window);
      sim::Settle();
    }
    state.ResumeTiming();
    pq::Mgr::Get().PasteRecord(record, desktop.history.GetMainList());
    sim::Settle();
  }
  if (sim::EditText(target).empty()) state.SkipWithError("nothing was pasted");
  state.SetLabel(state.range(0) ? "typed Ctrl+V" : "WM_PASTE");
}
BENCHMARK(BM_Paste)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
