// The network exchange over loopback: a record list of 1000 records of 1 KB
// sent end to end (from the send operation to the records added on the GUI
// thread), the receiving side's peak memory against the payload's decoded
// size, and a record sent while 500 idle connections wait. Run by hand:
// build/bin/net_bench.
#include <malloc.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>
#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "appnotify.h"
#include "net/send.h"
#include "net_fixture.h"
#include "pq/dataobject.h"
#include "pq/item.h"

using namespace nettest;

namespace {

// The toolkit as a console application with an active loop, for the whole run.
void Toolkit() {
  static bool started = [] {
    static int argc = 1;
    static char name[] = "net_bench";
    static char* argv[] = {name, nullptr};
    static wxInitializer toolkit(argc, argv);
    static std::unique_ptr<wxEventLoopBase> loop(wxTheApp->GetTraits()->CreateEventLoop());
    static wxEventLoopActivator active(loop.get());
    return toolkit.IsOk();
  }();
  (void)started;
}

// About `bytes` of words, as a clip of prose holds them.
std::string Prose(std::mt19937& rng, std::size_t bytes) {
  static const std::string vocabulary[] = {"the", "record", "was", "copied", "from", "a", "window", "into", "list"};
  std::string text;
  while (text.size() < bytes) text += vocabulary[rng() % 9] + ((rng() & 7) ? " " : ".\n");
  text.resize(bytes);
  return text;
}

// 1000 records of about 1 KB of text each (the text item in the record's
// block as well as its plain text, as a capture holds it).
const pq::RecordList& ThousandRecords() {
  static pq::RecordList* list = [] {
    std::mt19937 rng(7);
    auto* l = new pq::RecordList;
    l->name = "Work";
    l->maxRecords = 1000;
    for (int i = 0; i < 1000; ++i) {
      auto r = boost::make_shared<pq::Record>();
      r->SetText(wxString::FromUTF8(Prose(rng, 1024) + " #" + std::to_string(i)));
      r->application = "/usr/bin/some-editor";
      l->AddRecord(r);
    }
    return l;
  }();
  return *list;
}

struct TwoComputers {
  Peer laptop{"127.0.0.2"};
  Peer desktop{"127.0.0.3"};
  pq::RecordList& inbox = desktop.AddList("Inbox");
  TwoComputers() {
    desktop.Trust("127.0.0.2", "", "Inbox");
    inbox.maxRecords = 1000;
  }
};

void BM_RecordListOf1000Records(benchmark::State& state) {
  Toolkit();
  TwoComputers net;
  const pq::RecordList& list = ThousandRecords();
  for (auto _ : state) {
    net.inbox.Clear();
    net::SendRecordList(net.laptop.server.get(), &list, net.desktop.Where());
    if (!RunUntil([&] { return net.inbox.GetCount() == 1000; }, std::chrono::seconds(30))) {
      state.SkipWithError("the records did not arrive");
      break;
    }
  }
  state.counters["payload_KiB"] = static_cast<double>(net::EncodeObject(list).size()) / 1024.0;
}
BENCHMARK(BM_RecordListOf1000Records)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

long StatusValue(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string name = std::string(field) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.rfind(name, 0) == 0) return std::stol(line.substr(name.size()));
  return 0;
}

// The receiving side's peak resident memory above what it held before,
// against the decoded size of the payload. The payload is written by a raw
// client from bytes encoded beforehand, so nothing of the sending side
// grows meanwhile.
void BM_ReceivingPeakMemory(benchmark::State& state) {
  Toolkit();
  TwoComputers net;
  const cmn::mblock<char> body = net::EncodeObject(ThousandRecords());
  const double decoded = static_cast<double>(Inflate(body).size());
  double worst = 0;
  for (auto _ : state) {
    net.inbox.Clear();
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
    const long before = StatusValue("VmRSS");
    RawClient client;
    if (!client.Connect("127.0.0.2", net.desktop.Port(), net.desktop.address) || !client.Handshake() ||
        !client.Query("bench", net::KIND_RECORD_LIST) || client.Reply().result != 0) {
      state.SkipWithError("the transfer was refused");
      break;
    }
    client.WriteFrame(body);
    RunUntil([&] { return net.inbox.GetCount() == 1000; }, std::chrono::seconds(30));
    const double peak = static_cast<double>(StatusValue("VmHWM") - before) * 1024.0;
    worst = std::max(worst, peak);
  }
  state.counters["decoded_KiB"] = decoded / 1024.0;
  state.counters["peak_above_idle_KiB"] = worst / 1024.0;
  state.counters["peak_over_decoded"] = worst / decoded;
}
BENCHMARK(BM_ReceivingPeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A record to a server that holds as many of 500 idle connections as its caps
// let it: from how many addresses they come is the argument.
void BM_RecordWhile500IdleConnectionsWait(benchmark::State& state) {
  Toolkit();
  TwoComputers net;
  const int addresses = static_cast<int>(state.range(0));
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 500; ++i) {
    auto c = std::make_unique<RawClient>();
    const std::string from = "127.0.1." + std::to_string(1 + i % addresses);
    c->socket.Open(net::Endpoint{Address(from), 0});
    c->socket.StartConnect(net::Endpoint{Address(net.desktop.address), net.desktop.Port()});
    idle.push_back(std::move(c));
  }
  std::size_t held = 0;
  RunUntil([&] {
    held = std::max(held, net.desktop.server->GetReceiverCount());
    return false;
  }, std::chrono::milliseconds(1500));
  const long rss = StatusValue("VmRSS");
  const pq::RecordPtr record = boost::make_shared<pq::Record>();
  record->SetText("through the crowd");
  for (auto _ : state) {
    const unsigned count = net.inbox.GetCount();
    net::SendRecord(net.laptop.server.get(), record, net.desktop.Where());
    if (!RunUntil([&] { return net.inbox.GetCount() > count; }, std::chrono::seconds(10))) {
      state.SkipWithError("the record did not arrive");
      break;
    }
  }
  state.counters["receivers_held"] = static_cast<double>(held);
  state.counters["threads"] = static_cast<double>(StatusValue("Threads"));
  state.counters["rss_MiB"] = static_cast<double>(rss) / 1024.0;
}
BENCHMARK(BM_RecordWhile500IdleConnectionsWait)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

}  // namespace
