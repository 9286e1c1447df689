// The record viewer showing large records (1 MB of text, 1 MB of rich text,
// a 4000 x 3000 bitmap), each up to its first paint, alone and as the main
// window shows the record picked in its list, and the RTF reader on
// 10 MB of input (without its cap on the text kept) with the memory its
// result keeps. The core's share of showing the bitmap (unpacking it) is
// core_bench's BM_UnpackBitmap4000x3000. Needs a display; run by hand:
// xvfb-run -a build/bin/ui_bench
#include <malloc.h>

#include <cstdio>
#include <random>
#include <string>

#include <chrono>
#include <thread>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/listctrl.h>

#include "bench_pictures.h"
#include "bench_records.h"
#include "display.h"
#include "historywindow.h"
#include "mainframe.h"
#include "options.h"
#include "pq/history.h"
#include "recordlistwindow.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "recordviewer.h"
#include "rtfreader.h"
#include "sandbox.h"

namespace {

constexpr std::size_t kMB = 1 << 20;

std::string Words(std::mt19937& rng, std::size_t bytes) {
  static const char* const words[] = {"clipboard", "record", "paste", "history", "window", "list",
                                      "format",    "search", "Text",  "value",   "number", "line"};
  std::string s;
  std::size_t line = 0;
  while (s.size() < bytes) {
    const std::string w = words[rng() % (sizeof words / sizeof *words)];
    s += w;
    line += w.size() + 1;
    s += line > 70 ? '\n' : ' ';
    if (line > 70) line = 0;
  }
  s.resize(bytes);
  return s;
}

// Rich text as a word processor writes it: a header with tables, then
// paragraphs with bold and italic words, accented letters and a euro sign.
std::string Rtf(std::mt19937& rng, std::size_t bytes) {
  std::string s =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\froman Times;}}"
      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "{\\*\\generator Writer;}\\viewkind4\\uc1\n";
  while (s.size() + 2 < bytes) {
    s += "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22 ";
    for (int i = 0; i < 6; ++i) {
      s += Words(rng, 40);
      s += i % 3 == 0 ? " {\\b bold}" : i % 3 == 1 ? " {\\i\\cf1 italic}" : " caf\\'e9 \\u8364?";
    }
    s += "\\par\n";
  }
  s += "}";
  return s;
}

pq::RecordPtr Record(pq::Item* item) { return testing_bench::RecordOf(item); }

pq::RecordPtr TextRecord(std::mt19937& rng) { return Record(new pq::TextItem(Words(rng, kMB))); }

pq::RecordPtr RtfRecord(std::mt19937& rng) {
  auto* rtf = new pq::RtfItem;
  const std::string doc = Rtf(rng, kMB);
  rtf->SetBlock(doc.data(), doc.size());
  return Record(rtf);
}

// A 4000 x 3000 picture, screenshot-like or noise.
pq::RecordPtr BitmapRecord(std::mt19937& rng, bool noise) {
  auto* item = new pq::BitmapItem;
  item->SetHandle(platform::CreateBitmapFromPixels(testing_bench::LargePicture(rng, noise)));
  return Record(item);
}

// The viewer in a shown frame; every showing alternates two records, so each
// one is new to the viewer, and ends with the viewer painted.
struct Stage {
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(900, 700));
  RecordViewer* viewer = new RecordViewer(frame);
  pq::RecordList list;
  Stage() {
    frame->Show();
    Settle();
  }
  ~Stage() {
    frame->Destroy();
    Settle();
  }
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      wxTheApp->ProcessPendingEvents();
      wxTheApp->Yield(true);
    }
  }
  void Show(const pq::RecordPtr& record) {
    viewer->ShowRecord(record, &list);
    viewer->Update();
  }
};

void RunShow(benchmark::State& state, const pq::RecordPtr& a, const pq::RecordPtr& b) {
  Stage stage;
  bool first = true;
  for (auto _ : state) {
    stage.Show(first ? a : b);
    first = !first;
    state.PauseTiming();
    stage.Settle();
    state.ResumeTiming();
  }
}

void BM_ShowText1MB(benchmark::State& state) {
  std::mt19937 rng(1);
  RunShow(state, TextRecord(rng), TextRecord(rng));
}
BENCHMARK(BM_ShowText1MB)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ShowRtf1MB(benchmark::State& state) {
  std::mt19937 rng(2);
  RunShow(state, RtfRecord(rng), RtfRecord(rng));
}
BENCHMARK(BM_ShowRtf1MB)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ShowBitmap4000x3000(benchmark::State& state) {
  std::mt19937 rng(3);
  const bool noise = state.range(0) != 0;
  RunShow(state, BitmapRecord(rng, noise), BitmapRecord(rng, noise));
  state.SetLabel(noise ? "noise" : "screenshot-like");
}
BENCHMARK(BM_ShowBitmap4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(6);

// The main window with two records in its listening list, active, as a user
// picks them in turn: the list's selection reaches the frame, which shows the
// record in its viewer, and the window is painted.
struct FrameStage {
  pq::History history;
  MainFrame* frame = nullptr;
  RecordListWindow* rows = nullptr;
  FrameStage(const pq::RecordPtr& a, const pq::RecordPtr& b) {
    history.CreateDefaultLists();
    history.GetMainList()->AddRecord(b);
    history.GetMainList()->AddRecord(a);
    frame = new MainFrame(&history);
    // The history window's part of the frame's start-up; the clipboard
    // manager is not started.
    frame->GetHistoryWindow()->Start(OPT_MAIN_FRAME_TAB);
    rows = frame->GetHistoryWindow()->GetRecordListWindow(0);
    frame->Show();
    frame->Raise();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!frame->IsActive() && std::chrono::steady_clock::now() < until) {
      Settle();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!frame->IsActive()) std::fprintf(stderr, "the main window did not become active\n");
  }
  ~FrameStage() {
    frame->GetHistoryWindow()->Unregister();
    frame->Destroy();
    Settle();
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) {
      wxTheApp->ProcessPendingEvents();
      wxTheApp->Yield(true);
    }
  }
  void Pick(long row) {
    rows->SelectRow(row);
    wxListEvent event(wxEVT_LIST_ITEM_SELECTED, rows->GetId());
    event.SetEventObject(rows);
    event.m_itemIndex = row;
    rows->GetEventHandler()->ProcessEvent(event);
    frame->Update();
  }
};

void RunPick(benchmark::State& state, const pq::RecordPtr& a, const pq::RecordPtr& b) {
  FrameStage stage(a, b);
  long row = 0;
  for (auto _ : state) {
    stage.Pick(row);
    row = 1 - row;
    state.PauseTiming();
    stage.Settle();
    state.ResumeTiming();
  }
  if (stage.frame->GetRecordViewer()->GetRecord() == nullptr) state.SkipWithError("the viewer showed nothing");
}

void BM_FramePickText1MB(benchmark::State& state) {
  std::mt19937 rng(1);
  RunPick(state, TextRecord(rng), TextRecord(rng));
}
BENCHMARK(BM_FramePickText1MB)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FramePickRtf1MB(benchmark::State& state) {
  std::mt19937 rng(2);
  RunPick(state, RtfRecord(rng), RtfRecord(rng));
}
BENCHMARK(BM_FramePickRtf1MB)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_FramePickBitmap4000x3000(benchmark::State& state) {
  std::mt19937 rng(3);
  RunPick(state, BitmapRecord(rng, false), BitmapRecord(rng, false));
}
BENCHMARK(BM_FramePickBitmap4000x3000)->Unit(benchmark::kMillisecond)->Iterations(6);

long HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
}

// 10 MB of input: word-processor text, short styled runs (a run for every
// character), and a picture's hex data (all skipped).
std::string TenMegabytes(int kind) {
  std::mt19937 rng(4);
  if (kind == 0) return Rtf(rng, 10 * kMB);
  std::string s = "{\\rtf1\\ansi ";
  if (kind == 1) {
    while (s.size() < 10 * kMB) s += "{\\b a}{\\i\\fs30 b}\\'e9\\u8364?{\\ul c}";
  } else {
    s += "{\\pict\\pngblip ";
    static const char hex[] = "0123456789abcdef";
    while (s.size() < 10 * kMB) {
      for (int i = 0; i < 128; ++i) s += hex[rng() % 16];
      s += '\n';
    }
    s += "}";
  }
  return s + "}";
}

void BM_ReadRtf10MB(benchmark::State& state) {
  const std::string doc = TenMegabytes(static_cast<int>(state.range(0)));
  double kept = 0;
  std::size_t chars = 0;
  for (auto _ : state) {
    const long before = HeapInUse();
    // Without the cap on the kept text, so that all 10 MB are read.
    RtfDocument read = ReadRtf(doc.data(), doc.size(), doc.size());
    kept = double(HeapInUse() - before) / double(doc.size());
    chars = read.text.size();
    benchmark::DoNotOptimize(read);
  }
  static const char* const kinds[] = {"word processor", "short runs", "picture"};
  state.SetLabel(kinds[state.range(0)]);
  state.counters["kept_per_input_byte"] = kept;
  state.counters["text_bytes"] = double(chars);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ReadRtf10MB)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(10);

class BenchApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  benchmark::Initialize(&argc, argv);
  if (!OpenTestDisplay(argc, argv) || !wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot start the toolkit (no display?)\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 0;
}
