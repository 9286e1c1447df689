#pragma once
// The program's own event log, in memory only (network activity mostly): a
// bounded queue of entries that any thread may add to. The toolkit's own
// logging does not come here.
#include <cstddef>
#include <ctime>
#include <deque>
#include <string>

#include <wx/event.h>
#include <wx/string.h>
#include <wx/thread.h>

class LogDlg;

struct LogEntry {
  int level = -1;       // Logger::Info, Warning or Error
  std::string text;     // UTF-8
  std::time_t time = -1;  // seconds, when the entry was added
};

class Logger : public wxEvtHandler {
 public:
  enum Level { Info = 0, Warning = 1, Error = 2 };
  static constexpr std::size_t kMaxEntries = 1000;

  // The one log of the run.
  static Logger& Get();

  explicit Logger(std::size_t maxEntries = kMaxEntries);

  // Any thread. Drops the oldest entry once the log is full, then tells the
  // GUI thread (notice ID_NOTIFY_LOG_ADDED) so an open log window refreshes.
  void Log(int level, const wxString& text);

  // A copy of entry index (0 = oldest); past the end: level -1, no text, time -1.
  LogEntry GetEntry(std::size_t index) const;
  std::size_t GetCount() const;

  // The open log window, or null. GUI thread only.
  LogDlg* GetLogDlg() const { return logDlg; }
  void SetLogDlg(LogDlg* dialog) { logDlg = dialog; }

 private:
  void OnEntryAdded(wxCommandEvent& event);

  mutable wxCriticalSection lock;  // guards entries, nothing else
  std::deque<LogEntry> entries;    // oldest first
  const std::size_t maxEntries;
  LogDlg* logDlg = nullptr;
};
