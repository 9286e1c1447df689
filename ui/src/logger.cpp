#include "logger.h"

#include "appnotify.h"
#include "cmn/strconv.h"
#include "logdlg.h"

Logger& Logger::Get() {
  static Logger instance;
  return instance;
}

Logger::Logger(std::size_t maxEntries) : maxEntries(maxEntries) {
  Bind(EVT_APP_NOTIFY, &Logger::OnEntryAdded, this, ID_NOTIFY_LOG_ADDED);
}

void Logger::Log(int level, const wxString& text) {
  wxCriticalSectionLocker locker(lock);
  entries.push_back(LogEntry{level, cmn::wx::ToStdString(text), std::time(nullptr)});
  if (entries.size() > maxEntries) entries.pop_front();
  // Posting under the lock is safe: the pending-event queue has its own lock
  // and nothing handling the notice runs on this thread.
  PostNotifyEvent(this, ID_NOTIFY_LOG_ADDED);
}

LogEntry Logger::GetEntry(std::size_t index) const {
  wxCriticalSectionLocker locker(lock);
  if (index >= entries.size()) return LogEntry{};
  return entries[index];
}

std::size_t Logger::GetCount() const {
  wxCriticalSectionLocker locker(lock);
  return entries.size();
}

void Logger::OnEntryAdded(wxCommandEvent&) {
  if (logDlg) logDlg->RefreshEntries();
}
