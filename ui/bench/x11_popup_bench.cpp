// The program on a private display with openbox, measured as a user meets it,
// with a text field of another application focused:
// - Shortcut: from the press of V (Super held, sent with XTest) to the popup
//   list being mapped; median and worst of 50. As many lists as the program
//   keeps (10: 9 of 1000 records, and the search list).
// - Paste: from the release of Super to the second record's text arriving in
//   the field; median of 50.
// - Memory: the program's resident set (VmRSS, and its private part, since
//   the toolkit's shared libraries count in VmRSS) with 1000 records of 1 KB
//   and every window built: the main frame, the popup list, the menu window
//   and the floating list, each shown once.
// - Idle: the program's CPU time over 30 s with those windows built.
// Built, never run by ctest.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <boost/make_shared.hpp>
#include <wx/init.h>

#include "appconfig.h"
#include "appversion.h"
#include "child_process.h"
#include "pq/dataobject.h"
#include "pq/history.h"
#include "pq/item.h"
#include "pq/record.h"
#include "sandbox.h"
#include "x11_our_window.h"
#include "xserver.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using testing_process::ChildProcess;

bool grabFailed = false;  // a grab of ours met the program's

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A history of `lists` lists of `records` text records of `bytes` each, with
// the settings file that makes the program load it.
bool WriteData(int lists, int records, std::size_t bytes) {
  pq::History history;
  history.CreateDefaultLists();
  for (int l = 0; l < lists; ++l) {
    pq::RecordList* list = l == 0 ? history.GetMainList() : new pq::RecordList;
    if (l > 0) list->name = "List " + std::to_string(l);
    list->maxRecords = static_cast<unsigned>(records);
    for (int r = 0; r < records; ++r) {
      std::string text = "record " + std::to_string(l) + "." + std::to_string(r) + " ";
      while (text.size() < bytes) text += "lorem ipsum dolor sit amet ";
      text.resize(bytes);
      auto record = boost::make_shared<pq::Record>();
      pq::DataObject* data = new pq::DataObject;
      data->Items().push_back(new pq::TextItem(text));
      record->SetItems(*data);
      data->Release();
      list->AddRecord(record);
    }
    if (l > 0 && !history.InsertRecordList(list, static_cast<unsigned>(l))) return false;
  }
  const ArchiveInfo info(APP_VERSION_CODE, 1);
  AppConfig config;
  if (!config.SaveFile(AppConfig::GetFilePath(), info)) return false;
  try {
    history.Save(pq::History::GetFilePath(), info);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

// The program and a text field on a display of their own, seen from a
// connection of ours that types with XTest and watches the popup map.
class Session {
 public:
  bool Start(int lists, int records, std::size_t bytes, std::string* why) {
    data_ = testing_sandbox::MakeTempDir("bench-data");
    setenv("PASTIQ_DATA_DIR", data_.c_str(), 1);
    unsetenv("PASTIQ_DESKTOP");
    if (!WriteData(lists, records, bytes)) return Fail(why, "the history could not be written");
    if (!server_.Start()) return Fail(why, "Xvfb or openbox did not come up");
    ChildProcess::Options options;
    options.display = server_.display();
    program_.emplace(std::vector<std::string>{PASTIQ_UNATTENDED}, options.KeepInput());
    if (!testing_process::WaitUntil([&] { return testing_process::CatchesSignal(program_->pid(), SIGTERM); }, 60s))
      return Fail(why, "the program did not start");
    field_.emplace(x11test::Process::Run({x11test::TestClientPath(), "field"}, server_.display()));
    if (!x11test::FocusClient(*field_, server_.display(), 15000)) return Fail(why, "the field took no focus");
    dpy_ = XOpenDisplay(server_.display().c_str());
    // Windows come and go while the tree is walked.
    XSetErrorHandler([](Display*, XErrorEvent* e) {
      if (e->error_code == BadAccess) grabFailed = true;
      return 0;
    });
    if (!dpy_) return Fail(why, "no display");
    super_ = XKeysymToKeycode(dpy_, XK_Super_L);
    v_ = XKeysymToKeycode(dpy_, XK_v);
    escape_ = XKeysymToKeycode(dpy_, XK_Escape);
    // The popup's X window exists once it was shown: found by its class.
    Key(super_, true);
    Key(v_, true);
    Key(v_, false);
    if (!testing_process::WaitUntil([&] { return (popup_ = Find("PastiqPopup")) != 0; }, 20s))
      return Fail(why, "the popup never showed");
    XSelectInput(dpy_, popup_, StructureNotifyMask);
    XSync(dpy_, False);
    Dismiss();
    return WaitFor(UnmapNotify, 10s) || Fail(why, "Escape left the popup open");
  }
  ~Session() {
    if (program_) program_->Stop();
    if (dpy_) XCloseDisplay(dpy_);
    unsetenv("PASTIQ_DATA_DIR");
  }

  void Key(KeyCode code, bool down) {
    XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
    XFlush(dpy_);
  }
  // Escape, then Super released: the popup goes and nothing is pasted.
  void Dismiss() {
    Key(escape_, true);
    Key(escape_, false);
    Key(super_, false);
  }
  // Waits for the popup to be mapped or unmapped; false after `limit`.
  bool WaitFor(int type, std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    for (;;) {
      while (XPending(dpy_)) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        if (ev.type == type && ev.xany.window == popup_) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left));
    }
  }
  // The next "PASTE" line of the field.
  bool Pasted(std::chrono::milliseconds limit) {
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
      const std::string line = field_->ReadLine(std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()));
      if (line.rfind("PASTE", 0) == 0) return true;
    }
    return false;
  }
  // Whether the program holds Super+V again (it gives its grabs up while
  // it types the paste): a grab of ours fails.
  bool ShortcutGrabbed() {
    grabFailed = false;
    XGrabKey(dpy_, v_, Mod4Mask, DefaultRootWindow(dpy_), False, GrabModeAsync, GrabModeAsync);
    XSync(dpy_, False);
    if (grabFailed) return true;
    XUngrabKey(dpy_, v_, Mod4Mask, DefaultRootWindow(dpy_));
    XSync(dpy_, False);
    return false;
  }
  // How many pastes the field has reported that were not waited for.
  int PastedAlready() {
    int n = 0;
    for (std::string line; !(line = field_->ReadLine(0ms)).empty();) n += line.rfind("PASTE", 0) == 0;
    return n;
  }
  bool Command(const std::string& line) { return program_->WriteInput(line + "\n"); }
  Window Find(const std::string& cls) { return x11test::FindOurWindow(dpy_, cls).window; }
  std::string Output() { return program_->Output(); }
  pid_t ProgramPid() const { return program_->pid(); }
  KeyCode super_ = 0, v_ = 0, escape_ = 0;

 private:
  static bool Fail(std::string* why, const char* text) {
    *why = text;
    return false;
  }
  std::string data_;
  x11test::XServer server_;
  std::optional<ChildProcess> program_;
  std::optional<x11test::Process> field_;
  Display* dpy_ = nullptr;
  Window popup_ = 0;
};

void Report(benchmark::State& state, std::vector<double> ms, const char* what) {
  if (ms.empty()) return;
  state.counters[std::string(what) + "_first_ms"] = ms.front();
  std::sort(ms.begin(), ms.end());
  state.counters[std::string(what) + "_median_ms"] = ms[ms.size() / 2];
  state.counters[std::string(what) + "_worst_ms"] = ms.back();
  state.counters[std::string(what) + "_p90_ms"] = ms[ms.size() * 9 / 10];
}

void BM_ShortcutToPopupMapped(benchmark::State& state) {
  wxInitializer toolkit;
  Session s;
  std::string why;
  if (!s.Start(9, 1000, 100, &why)) return state.SkipWithError(why.c_str());
  std::vector<double> ms;
  for (auto _ : state) {
    s.Key(s.super_, true);
    const auto t0 = Clock::now();
    s.Key(s.v_, true);
    if (!s.WaitFor(MapNotify, 5s)) return state.SkipWithError("the popup did not map");
    ms.push_back(Ms(Clock::now() - t0));
    state.SetIterationTime(ms.back() / 1000.0);
    s.Key(s.v_, false);
    s.Dismiss();
    if (!s.WaitFor(UnmapNotify, 5s)) return state.SkipWithError("the popup did not go");
  }
  Report(state, ms, "map");
}
BENCHMARK(BM_ShortcutToPopupMapped)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReleaseToTextInTheField(benchmark::State& state) {
  wxInitializer toolkit;
  Session s;
  std::string why;
  if (!s.Start(9, 1000, 100, &why)) return state.SkipWithError(why.c_str());
  std::vector<double> ms;
  int missed = 0;  // shortcuts that showed no popup
  int early = 0;   // pastes the field had before Super was released
  for (auto _ : state) {
    s.Key(s.super_, true);
    s.Key(s.v_, true);
    s.Key(s.v_, false);
    if (!s.WaitFor(MapNotify, 2s)) {
      // Counted, and the keys let go as a user would.
      ++missed;
      s.Key(s.super_, false);
      state.SetIterationTime(2);
      continue;
    }
    early += s.PastedAlready();
    const auto t0 = Clock::now();
    s.Key(s.super_, false);
    if (!s.Pasted(5s)) return state.SkipWithError("nothing reached the field");
    ms.push_back(Ms(Clock::now() - t0));
    state.SetIterationTime(ms.back() / 1000.0);
    if (!s.WaitFor(UnmapNotify, 5s)) return state.SkipWithError("the popup did not go");
    if (!testing_process::WaitUntil([&] { return s.ShortcutGrabbed(); }, 5s))
      return state.SkipWithError("the shortcut was not taken back");
  }
  Report(state, ms, "paste");
  state.counters["shortcut_shown_nothing"] = missed;
  state.counters["pasted_before_release"] = early;
}
BENCHMARK(BM_ReleaseToTextInTheField)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

// A field of /proc/PID/status or /proc/PID/smaps_rollup, in kB.
long ProcKb(pid_t pid, const char* file, const std::string& field) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/" + file);
  long sum = 0;
  for (std::string line; std::getline(f, line);)
    if (line.rfind(field + ":", 0) == 0) sum += std::stol(line.substr(field.size() + 1));
  return sum;
}

double CpuSecondsOf(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i) rest >> skip;  // fields 3..13
  long utime = 0, stime = 0;
  rest >> utime >> stime;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_MemoryAndIdleWithEveryWindowBuilt(benchmark::State& state) {
  wxInitializer toolkit;
  Session s;
  std::string why;
  if (!s.Start(1, 1000, 1024, &why)) return state.SkipWithError(why.c_str());
  // The popup was shown by Start; the menu window and the floating list now.
  s.Command("menu 900 700");
  if (!testing_process::WaitUntil([&] { return s.Find("PastiqMenuWindow") != 0; }, 20s))
    return state.SkipWithError("the menu window never showed");
  if (!s.Find("PastiqFloatingList")) s.Command("6204");  // the floating list's toggle
  if (!testing_process::WaitUntil([&] { return s.Find("PastiqFloatingList") != 0; }, 20s))
    return state.SkipWithError(("the floating list never showed: " + s.Output()).c_str());
  for (auto _ : state) {
    std::this_thread::sleep_for(2s);  // what the showing set going has settled
    const pid_t pid = s.ProgramPid();
    state.counters["VmRSS_MB"] = ProcKb(pid, "status", "VmRSS") / 1024.0;
    state.counters["private_MB"] =
        (ProcKb(pid, "smaps_rollup", "Private_Dirty") + ProcKb(pid, "smaps_rollup", "Private_Clean")) / 1024.0;
    const double cpu0 = CpuSecondsOf(pid);
    std::this_thread::sleep_for(30s);
    state.counters["idle_cpu_s_per_30s"] = CpuSecondsOf(pid) - cpu0;
  }
}
BENCHMARK(BM_MemoryAndIdleWithEveryWindowBuilt)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
