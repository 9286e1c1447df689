// A full history (10 lists, 9 of them holding 1000 records of about 1 KB of
// text, every fourth record with an HTML item as well): saving and loading the
// history file, one search over every list, and rebuilding a record's data
// object. Run by hand: build/bin/core_bench.
#include <malloc.h>

#include <random>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <wx/filefn.h>
#include <wx/filename.h>

#include "appversion.h"
#include "bench_text.h"
#include "cmn/archive.h"
#include "pq/dataobject.h"
#include "pq/history.h"
#include "pq/item.h"
#include "pq/record.h"
#include "pq/searchlist.h"
#include "sandbox.h"

namespace {

constexpr int kLists = 10;
constexpr int kRecords = 1000;
constexpr std::size_t kTextBytes = 1024;

using bench::Words;

pq::RecordPtr MakeRecord(std::mt19937& rng, int n) {
  auto record = boost::make_shared<pq::Record>();
  auto* d = new pq::DataObject;
  if (n % 4 == 0) {
    auto* html = new pq::HtmlItem;
    const std::string body = "<html><body><p>" + Words(rng, 1500) + "</p></body></html>";
    html->SetBlock(body.data(), body.size());
    d->Items().push_back(html);
  }
  d->Items().push_back(new pq::TextItem(Words(rng, kTextBytes) + " #" + std::to_string(n)));
  record->SetItems(*d);
  d->Release();
  record->application = "/usr/bin/some-editor";
  return record;
}

// Builds the full history once.
pq::History& FullHistory() {
  static pq::History* history = [] {
    auto* h = new pq::History;
    h->CreateDefaultLists();
    std::mt19937 rng(42);
    for (int l = 2; l < kLists; ++l) {
      auto* list = new pq::RecordList;
      list->name = "List " + std::to_string(l);
      h->InsertRecordList(list, static_cast<unsigned>(l));
    }
    int n = 0;
    for (pq::RecordList* list : h->GetLists()) {
      if (pq::IsSearchList(list)) continue;
      list->maxRecords = kRecords;
      for (int r = 0; r < kRecords; ++r) list->AddRecord(MakeRecord(rng, n++));
    }
    return h;
  }();
  return *history;
}

std::size_t TextBytes(const pq::History& h) {
  std::size_t n = 0;
  for (auto* list : h.GetLists())
    for (const auto& r : list->GetRecords()) n += r->text.size();
  return n;
}

wxString FilePath() {
  static const wxString path = wxString::FromUTF8(testing_sandbox::MakeTempDir("bench") + "/pastiq_history");
  return path;
}

// Bytes the allocator has handed out and not yet taken back.
long HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
}

void BM_SaveHistory(benchmark::State& state) {
  pq::History& h = FullHistory();
  for (auto _ : state) h.Save(FilePath(), ArchiveInfo(APP_VERSION_CODE, 1));
  state.counters["file_MB"] = static_cast<double>(wxFileName::GetSize(FilePath()).ToDouble()) / 1e6;
}
BENCHMARK(BM_SaveHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadHistory(benchmark::State& state) {
  FullHistory().Save(FilePath(), ArchiveInfo(APP_VERSION_CODE, 1));
  double ratio = 0;
  for (auto _ : state) {
    const long before = HeapInUse();
    auto* h = new pq::History;
    h->Load(FilePath());
    const long after = HeapInUse();
    ratio = static_cast<double>(after - before) / static_cast<double>(TextBytes(*h));
    state.PauseTiming();
    delete h;
    state.ResumeTiming();
  }
  state.counters["heap_per_text_byte"] = ratio;
  state.counters["text_MB"] = static_cast<double>(TextBytes(FullHistory())) / 1e6;
}
BENCHMARK(BM_LoadHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

// The worst case: a text found nowhere, so every record of every list is read.
void BM_SearchNoHit(benchmark::State& state) {
  pq::History& h = FullHistory();
  auto* search = static_cast<SearchList*>(h.GetLists()[1]);
  search->SetText("zebra crossing");
  for (auto _ : state) search->RunSearch();
  state.counters["hits"] = search->GetCount();
}
BENCHMARK(BM_SearchNoHit)->Unit(benchmark::kMillisecond);

void BM_SearchMatchCase(benchmark::State& state) {
  pq::History& h = FullHistory();
  auto* search = static_cast<SearchList*>(h.GetLists()[1]);
  search->SetText("Text value #99");
  search->matchCase = true;
  for (auto _ : state) search->RunSearch();
  search->matchCase = false;
  state.counters["hits"] = search->GetCount();
}
BENCHMARK(BM_SearchMatchCase)->Unit(benchmark::kMillisecond);

void BM_SearchManyHits(benchmark::State& state) {
  pq::History& h = FullHistory();
  auto* search = static_cast<SearchList*>(h.GetLists()[1]);
  search->SetText("#1");
  for (auto _ : state) search->RunSearch();
  state.counters["hits"] = search->GetCount();
}
BENCHMARK(BM_SearchManyHits)->Unit(benchmark::kMillisecond);

void BM_CreateDataObject(benchmark::State& state) {
  pq::History& h = FullHistory();
  const pq::RecordPtr record = h.GetLists()[0]->GetRecord(state.range(0) ? 3 : 0);
  for (auto _ : state) {
    pq::DataObject* d = record->CreateDataObject(h.GetLists()[0]);
    benchmark::DoNotOptimize(d);
    d->Release();
  }
  state.SetLabel(state.range(0) ? "text and HTML" : "text only");
}
BENCHMARK(BM_CreateDataObject)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
