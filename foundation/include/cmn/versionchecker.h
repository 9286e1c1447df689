#pragma once
// Asks the update web server whether a newer version of the program exists.
// Each check runs on a detached worker thread that fetches a small INI-style
// version file and, when it names a newer version and a web download
// address, queues notice ID_NOTIFY_NEW_VERSION (appnotify.h) on the handler:
// its integer is the version, its string the address.
//
// No thread is ever killed or waited for. The checker and its workers share
// a small reference-counted state; destroying the checker clears the handler
// under the state's lock and returns at once, so a check still downloading
// then ends on its own (at its deadline at the latest) and posts nothing.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include <wx/string.h>

class wxEvtHandler;

namespace cmn {
namespace wx {

class VersionChecker {
 public:
  // One check's fetch: a deadline for the whole download and a cap on its size.
  static constexpr std::chrono::milliseconds kTimeout{15000};
  static constexpr std::size_t kMaxBytes = 64 * 1024;

  // url: an "http://" address of the version file; group: the INI group to
  // read. handler may be null (nothing is posted) and set later.
  VersionChecker(wxEvtHandler* handler, const wxString& url, const wxString& group);
  ~VersionChecker();
  VersionChecker(const VersionChecker&) = delete;
  VersionChecker& operator=(const VersionChecker&) = delete;

  // Starts one check on a new worker thread; false when the address is empty
  // or no thread could be started.
  bool Start();

  // Where notices go from now on; null posts nothing. A notice already
  // queued stays queued.
  void SetHandler(wxEvtHandler* handler);

  // The fetch limits of the checks started from now on.
  void SetLimits(std::chrono::milliseconds timeout, std::size_t maxBytes);

  const wxString& GetUrl() const { return url; }
  // The checks of this checker still running.
  std::size_t RunningChecks() const;
  // Worker threads of every checker still running, those of checkers
  // already destroyed included.
  static std::size_t LiveWorkers();

  // The version file's verdict: true when text, read as INI (UTF-8), holds
  // in group a "version" above currentVersion and a "download_url" that is
  // an http or https address; they go to *version and *downloadUrl.
  static bool ReadVersionFile(const std::string& text, const wxString& group, int currentVersion, long* version,
                              wxString* downloadUrl);

 private:
  struct Shared;
  class Worker;

  void AddWorker(Worker* worker);

  wxString url;
  wxString group;
  std::chrono::milliseconds timeout = kTimeout;
  std::size_t maxBytes = kMaxBytes;
  std::shared_ptr<Shared> shared;
};

}  // namespace wx
}  // namespace cmn
