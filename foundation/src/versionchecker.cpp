#include "cmn/versionchecker.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "appnotify.h"
#include "appversion.h"
#include "cmn/strconv.h"
#include "httpget.h"

namespace cmn {
namespace wx {

namespace {
std::atomic<std::size_t> g_liveWorkers{0};

// An address the user may be sent to: a web address without blanks or
// control characters.
bool IsWebAddress(const wxString& address) {
  const wxString lower = address.Lower();
  const std::size_t prefix = lower.StartsWith("http://") ? 7 : lower.StartsWith("https://") ? 8 : 0;
  if (prefix == 0 || address.length() == prefix) return false;
  for (wxString::const_iterator it = address.begin(); it != address.end(); ++it) {
    const wxUint32 c = static_cast<wxUint32>((*it).GetValue());
    if (c <= 0x20 || c == 0x7F) return false;
  }
  return true;
}
}  // namespace

// What the checker and its running workers share. It outlives the checker
// as long as a worker holds it.
struct VersionChecker::Shared {
  std::mutex lock;               // guards workers and handler
  std::vector<Worker*> workers;  // running checks, in start order
  wxEvtHandler* handler = nullptr;
  std::atomic<bool> cancelled{false};  // the checker is gone: stop, post nothing
};

class VersionChecker::Worker {
 public:
  Worker(std::shared_ptr<Shared> shared, std::string url, std::string group, http::Limits limits)
      : shared(std::move(shared)), url(std::move(url)), group(std::move(group)), limits(limits) {
    ++g_liveWorkers;
  }
  // Unregisters from the shared state.
  ~Worker() {
    {
      std::lock_guard<std::mutex> guard(shared->lock);
      auto& workers = shared->workers;
      const auto it = std::find(workers.begin(), workers.end(), this);
      if (it != workers.end()) workers.erase(it);
    }
    --g_liveWorkers;
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // On the worker thread. Every failure ends the check silently.
  void Entry() {
    std::string body;
    if (!http::Get(url, limits, shared->cancelled, &body) || shared->cancelled.load()) return;
    long version = 0;
    wxString address;
    if (!ReadVersionFile(body, wxString::FromUTF8(group), APP_VERSION_CODE, &version, &address)) return;
    std::lock_guard<std::mutex> guard(shared->lock);
    if (!shared->handler) return;
    // Queued, not copied: the event and its string, built here from our own
    // bytes, pass to the GUI thread whole.
    auto* notice = new wxCommandEvent(EVT_APP_NOTIFY, ID_NOTIFY_NEW_VERSION);
    notice->SetInt(static_cast<int>(version));
    notice->SetString(wxString(address.wc_str(), address.length()));
    shared->handler->QueueEvent(notice);
  }

 private:
  std::shared_ptr<Shared> shared;
  // Copies of the checker's texts: toolkit strings are not shared between threads.
  const std::string url;
  const std::string group;
  const http::Limits limits;
};

VersionChecker::VersionChecker(wxEvtHandler* handler, const wxString& url, const wxString& group)
    : url(url), group(group), shared(std::make_shared<Shared>()) {
  shared->handler = handler;
}

VersionChecker::~VersionChecker() {
  std::lock_guard<std::mutex> guard(shared->lock);
  shared->handler = nullptr;
  shared->cancelled = true;
}

bool VersionChecker::Start() {
  if (url.empty()) return false;
  http::Limits limits;
  limits.timeout = timeout;
  limits.maxBytes = maxBytes;
  auto worker = std::make_unique<Worker>(shared, ToStdString(url), ToStdString(group), limits);
  AddWorker(worker.get());
  try {
    // The thread owns its worker and deletes it when its body returns; when
    // no thread starts, the worker is deleted here on unwinding.
    std::thread([w = std::move(worker)] { w->Entry(); }).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void VersionChecker::AddWorker(Worker* worker) {
  std::lock_guard<std::mutex> guard(shared->lock);
  shared->workers.push_back(worker);
}

void VersionChecker::SetHandler(wxEvtHandler* handler) {
  std::lock_guard<std::mutex> guard(shared->lock);
  shared->handler = handler;
}

void VersionChecker::SetLimits(std::chrono::milliseconds timeout, std::size_t maxBytes) {
  this->timeout = timeout;
  this->maxBytes = maxBytes;
}

std::size_t VersionChecker::RunningChecks() const {
  std::lock_guard<std::mutex> guard(shared->lock);
  return shared->workers.size();
}

std::size_t VersionChecker::LiveWorkers() { return g_liveWorkers.load(); }

bool VersionChecker::ReadVersionFile(const std::string& text, const wxString& group, int currentVersion,
                                     long* version, wxString* downloadUrl) {
  // The file comes from outside: what the toolkit's reader thinks of its
  // syntax is nobody's business.
  wxLogNull quiet;
  wxMemoryInputStream in(text.data(), text.size());
  wxFileConfig config(in, wxConvUTF8);
  config.SetExpandEnvVars(false);
  config.SetPath("/" + group);
  long v = 0;
  if (!config.Read("version", &v) || v <= currentVersion || v > INT_MAX) return false;
  wxString address;
  if (!config.Read("download_url", &address) || !IsWebAddress(address)) return false;
  *version = v;
  *downloadUrl = address;
  return true;
}

}  // namespace wx
}  // namespace cmn
