// A record of one 4000 x 3000 bitmap, screenshot-like or noise: making it
// (the picture encoded as PNG and packed into the item block, as a capture
// does) and unpacking it again (the block inflated, the PNG decoded into the
// item's bitmap, as the viewer does before it shows the record), and the
// memory one such record holds, packed and shown. Run by hand:
// build/bin/core_bench --benchmark_filter=Bitmap
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <random>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include "bench_pictures.h"
#include "bench_records.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/record.h"

namespace {

const char* Label(bool noise) { return noise ? "noise" : "screenshot-like"; }

pq::BitmapItem* PictureItem(bool noise) {
  std::mt19937 rng(3);
  auto* item = new pq::BitmapItem;
  item->SetHandle(platform::CreateBitmapFromPixels(testing_bench::LargePicture(rng, noise)));
  return item;
}

void BM_RecordBitmap4000x3000(benchmark::State& state) {
  const bool noise = state.range(0) != 0;
  std::mt19937 rng(3);
  const platform::BitmapPixels picture = testing_bench::LargePicture(rng, noise);
  std::size_t block = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* item = new pq::BitmapItem;
    item->SetHandle(platform::CreateBitmapFromPixels(picture));
    auto* d = new pq::DataObject;
    d->Items().push_back(item);
    pq::Record record;
    state.ResumeTiming();
    if (!record.SetItems(*d)) state.SkipWithError("the picture was not recorded");
    block = record.items.size();
    state.PauseTiming();
    d->Release();
    state.ResumeTiming();
  }
  state.SetLabel(Label(noise));
  state.counters["block_MB"] = double(block) / 1e6;
}
BENCHMARK(BM_RecordBitmap4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_UnpackBitmap4000x3000(benchmark::State& state) {
  const bool noise = state.range(0) != 0;
  const pq::RecordPtr record = testing_bench::RecordOf(PictureItem(noise));
  for (auto _ : state) {
    pq::DataObject* d = record->CreateDataObject(nullptr);
    if (d == nullptr || d->Items().empty() || static_cast<pq::BitmapItem*>(d->Items()[0])->IsEmpty())
      state.SkipWithError("the picture did not unpack");
    benchmark::DoNotOptimize(d);
    if (d != nullptr) d->Release();
  }
  state.SetLabel(Label(noise));
  state.counters["block_MB"] = double(record->items.size()) / 1e6;
}
BENCHMARK(BM_UnpackBitmap4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Resident bytes of the process, as the system counts them.
double ResidentMB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// What one record holds: its packed block; unpacked with the part a viewer
// of 900 x 673 pixels first shows read; then with every pixel read.
void BM_BitmapRecordMemory(benchmark::State& state) {
  const bool noise = state.range(0) != 0;
  const pq::RecordPtr record = testing_bench::RecordOf(PictureItem(noise));
  double shown = 0, whole = 0;
  for (auto _ : state) {
    malloc_trim(0);  // freed memory the heap kept would be reused unseen
    const double before = ResidentMB();
    pq::DataObject* d = record->CreateDataObject(nullptr);
    const HBITMAP bitmap = d != nullptr && !d->Items().empty()
                               ? static_cast<pq::BitmapItem*>(d->Items()[0])->GetHandle()
                               : nullptr;
    platform::BitmapPixels px;
    if (bitmap == nullptr || !platform::ReadBitmapPixels(bitmap, RECT{0, 0, 900, 673}, &px)) {
      state.SkipWithError("the picture did not unpack");
      if (d != nullptr) d->Release();
      break;
    }
    px = platform::BitmapPixels();
    malloc_trim(0);  // and what unpacking freed on its way
    shown = ResidentMB() - before;
    platform::ReadBitmapPixels(bitmap, RECT{0, 0, 1, testing_bench::kPictureHeight}, &px);
    whole = ResidentMB() - before;
    d->Release();
  }
  state.SetLabel(Label(noise));
  state.counters["record_MB"] = double(record->items.size()) / 1e6;
  state.counters["shown_MB"] = shown;
  state.counters["all_read_MB"] = whole;
}
BENCHMARK(BM_BitmapRecordMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
