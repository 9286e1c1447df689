// The record lists on screen with a full history: 10 lists of 1000 records
// of about 1 KB. Building the history window with all its pages, the refresh
// after a list notice, and painting a screen of rows for lists of growing
// length (the rows asked for stay those shown). Run by hand:
//   xvfb-run -a build/bin/ui_bench
#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <wx/app.h>
#include <wx/frame.h>

#include "bench_text.h"
#include "historywindow.h"
#include "options.h"
#include "pq/history.h"
#include "pq/record.h"
#include "recordlistwindow.h"
#include "settings.h"

namespace {

constexpr int kLists = 10;
constexpr int kRecords = 1000;
constexpr std::size_t kTextBytes = 1024;

using bench::Words;

pq::RecordPtr MakeRecord(std::mt19937& rng) {
  static const char* const apps[] = {"/usr/bin/editor", "/usr/bin/browser", "/usr/bin/terminal", ""};
  auto record = boost::make_shared<pq::Record>();
  record->text = Words(rng, kTextBytes);
  record->application = apps[rng() % 4];
  return record;
}

void FillList(pq::RecordList& list, int records, std::mt19937& rng) {
  list.maxRecords = pq::RecordList::kRecordLimit;
  for (int r = 0; r < records; ++r) list.AddRecord(MakeRecord(rng));
}

std::unique_ptr<pq::History> FullHistory() {
  std::mt19937 rng(7);
  auto history = std::make_unique<pq::History>();
  for (int l = 0; l < kLists; ++l) {
    auto* list = new pq::RecordList;
    list->name = "List " + std::to_string(l);
    FillList(*list, kRecords, rng);
    history->InsertRecordList(list, static_cast<unsigned>(l));
  }
  return history;
}

wxFrame* ShownFrame() {
  auto* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxPoint(0, 0), wxSize(680, 480));
  frame->Show();
  wxTheApp->Yield(true);
  return frame;
}

// Times the paints of a window: pushed onto it, it runs the window's own
// paint handler inside a clock. The toolkit paints on its frame clock, so the
// time spent waiting for a paint is not ours and is left out.
class PaintClock : public wxEvtHandler {
 public:
  explicit PaintClock(wxWindow* window) : window(window) {
    Bind(wxEVT_PAINT, &PaintClock::OnPaint, this);
    window->PushEventHandler(this);
  }
  ~PaintClock() override { window->RemoveEventHandler(this); }
  // Invalidates the window and lets the loop run until it was painted;
  // returns the seconds the paint took.
  double Paint() {
    window->Refresh();
    return WaitForPaint();
  }
  double WaitForPaint() {
    const int before = paints;
    for (int spins = 0; paints == before && spins < 100000; ++spins) wxTheApp->Yield(true);
    return last;
  }
  int paints = 0;

 private:
  void OnPaint(wxPaintEvent& event) {
    const auto start = std::chrono::steady_clock::now();
    GetNextHandler()->ProcessEventLocally(event);
    last = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++paints;
  }
  wxWindow* window;
  double last = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The window, its ten pages and the first paint of the shown page.
void BM_BuildHistoryWindow(benchmark::State& state) {
  testing_settings::ScopedSettings settings;
  const std::unique_ptr<pq::History> history = FullHistory();
  wxFrame* frame = ShownFrame();
  double buildMs = 0, paintMs = 0, cpuMs = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu0 = std::clock();
    auto* tabs = new HistoryWindow(history.get(), frame);
    frame->SendSizeEvent();
    tabs->Start(OPT_MAIN_FRAME_TAB);
    const double built = Seconds(start);
    cpuMs += 1000.0 * (std::clock() - cpu0) / CLOCKS_PER_SEC;
    double painted = 0;
    {
      PaintClock clock(tabs->GetCurrentRecordListWindow()->GetRowsWindow());
      painted = clock.WaitForPaint();
    }
    state.SetIterationTime(built + painted);
    buildMs += built * 1000;
    paintMs += painted * 1000;
    ++runs;
    tabs->Unregister();
    delete tabs;
    wxTheApp->Yield(true);
  }
  if (runs) {
    state.counters["build_ms"] = buildMs / runs;
    state.counters["build_cpu_ms"] = cpuMs / runs;
    state.counters["first_paint_ms"] = paintMs / runs;
  }
  delete frame;
}
BENCHMARK(BM_BuildHistoryWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

// A capture into a full list: the oldest record goes, the new one comes,
// each with its notice; the notices are handled and the window repainted.
void BM_RefreshAfterNotice(benchmark::State& state) {
  testing_settings::ScopedSettings settings;
  const std::unique_ptr<pq::History> history = FullHistory();
  wxFrame* frame = ShownFrame();
  auto* tabs = new HistoryWindow(history.get(), frame);
  frame->SendSizeEvent();
  tabs->Start(OPT_MAIN_FRAME_TAB);
  RecordListWindow* shown = tabs->GetCurrentRecordListWindow();
  auto clock = std::make_unique<PaintClock>(shown->GetRowsWindow());
  clock->Paint();
  std::mt19937 rng(11);
  pq::RecordList& list = *history->GetLists()[0];
  for (auto _ : state) {
    const pq::RecordPtr record = MakeRecord(rng);
    const auto start = std::chrono::steady_clock::now();
    list.AddRecord(record);
    wxTheApp->ProcessPendingEvents();
    const double handled = Seconds(start);
    state.SetIterationTime(handled + clock->WaitForPaint());
  }
  clock.reset();
  tabs->Unregister();
  delete frame;
}
BENCHMARK(BM_RefreshAfterNotice)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One paint of the visible rows of a list of state.range(0) records; the
// counter says how many row texts the paint asked for.
class CountingWindow : public RecordListWindow {
 public:
  using RecordListWindow::RecordListWindow;
  mutable long asked = 0;

 protected:
  wxString OnGetItemText(long item, long column) const override {
    ++asked;
    return RecordListWindow::OnGetItemText(item, column);
  }
};

void BM_PaintRows(benchmark::State& state) {
  testing_settings::ScopedSettings settings;
  std::mt19937 rng(3);
  pq::RecordList list;
  list.maxRecords = static_cast<unsigned>(state.range(0));
  FillList(list, static_cast<int>(state.range(0)), rng);
  wxFrame* frame = ShownFrame();
  auto* window = new CountingWindow(frame);
  frame->SendSizeEvent();
  window->SetRecordList(&list);
  auto clock = std::make_unique<PaintClock>(window->GetRowsWindow());
  clock->Paint();
  window->asked = 0;
  long paints = 0;
  for (auto _ : state) {
    state.SetIterationTime(clock->Paint());
    ++paints;
  }
  state.counters["rows_asked_per_paint"] = paints ? static_cast<double>(window->asked) / paints : 0;
  clock.reset();
  window->SetRecordList(nullptr);
  delete frame;
}
BENCHMARK(BM_PaintRows)->Arg(100)->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
