// The small inputs that once exhausted memory (testing/data/repro), read with
// the real budgets: the file budget for the record-list files, the item
// block's budget when a record is unpacked, the pixel budget of a picture.
// Each is refused (or, for the items bomb's file, loaded); the time is that
// of one refusal. Run one at a
// time to see its memory:
//   /usr/bin/time -v build/bin/core_bench --benchmark_filter=Repro/text-bomb
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>

#include "cmn/archive.h"
#include "pq/dataobject.h"
#include "pq/history.h"
#include "pq/item.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "sandbox.h"

namespace {

wxString Repro(const std::string& name) {
  return wxString::FromUTF8(testing_sandbox::DataFile("repro/" + name));
}

// Loads a record-list file; true when it loaded.
bool LoadList(const std::string& name, pq::RecordList& into) {
  try {
    pq::LoadRecordListFile(into, Repro(name));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool Unpack(const pq::Record& record) {
  try {
    pq::DataObject* d = record.CreateDataObject(nullptr);
    if (d) d->Release();
    return d != nullptr;
  } catch (const std::exception&) {
    return false;
  }
}

void RefusedList(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    pq::RecordList list;
    if (LoadList(name, list)) state.SkipWithError("loaded");
  }
}

void ItemsBombUnpacked(benchmark::State& state) {
  pq::RecordList list;
  if (!LoadList("items-bomb.pqs", list) || list.GetCount() != 1) {
    state.SkipWithError("the file did not load");
    return;
  }
  for (auto _ : state) {
    if (Unpack(*list.GetRecord(0))) state.SkipWithError("unpacked");
  }
}

void BlockClaims(benchmark::State& state) {
  std::ifstream in(testing_sandbox::DataFile("repro/block-claims-256MiB.bin"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  pq::Record record;
  std::memcpy(&record.textIndex, bytes.data(), 4);
  record.items.assign(bytes.data() + 4, bytes.size() - 4);
  for (auto _ : state) {
    if (Unpack(record)) state.SkipWithError("unpacked");
  }
}

void HugePng(benchmark::State& state) {
  std::ifstream in(testing_sandbox::DataFile("repro/png-8000x8000.png"), std::ios::binary);
  const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto _ : state) {
    pq::BitmapItem item;
    item.DecodePng(png.data(), png.size());
    if (!item.IsEmpty()) state.SkipWithError("decoded");
  }
}

void LoadedList(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    pq::RecordList list;
    if (!LoadList(name, list)) state.SkipWithError("refused");
  }
}

}  // namespace

BENCHMARK_CAPTURE(RefusedList, text-bomb, std::string("text-bomb.pqs"))->Name("Repro/text-bomb")
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(LoadedList, items-bomb, std::string("items-bomb.pqs"))->Name("Repro/items-bomb-file")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ItemsBombUnpacked)->Name("Repro/items-bomb-unpacked")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(RefusedList, record-claims, std::string("record-claims-256MiB.pqs"))
    ->Name("Repro/record-claims-256MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK(BlockClaims)->Name("Repro/block-claims-256MiB")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RefusedList, leak-record-truncated, std::string("leak-record-truncated.pqs"))
    ->Name("Repro/leak-record-truncated")->Unit(benchmark::kMicrosecond);
BENCHMARK(HugePng)->Name("Repro/png-8000x8000")->Unit(benchmark::kMicrosecond);
