#include "sessionend.h"

#include <csignal>
#include <cstdio>
#include <exception>

#include <wx/app.h>
#include <wx/evtloop.h>

#include "cmn/strconv.h"
#include "dlgmgr.h"
#include "logger.h"

const int kSessionEndSignals[3] = {SIGTERM, SIGHUP, SIGINT};

namespace {
std::function<void()>& SaveState() {
  static std::function<void()> saveState;
  return saveState;
}

void ReportSaveFailure(const char* what, const char* reason) {
  std::fprintf(stderr, "pastiq: cannot save %s: %s\n", what, reason);
  Logger::Get().Log(Logger::Error, wxString::Format("Cannot save %s: %s", cmn::wx::FromStdString(what),
                                                    cmn::wx::FromStdString(reason)));
}

// Called by the toolkit from the main loop (or a modal loop inside it).
void OnSessionEnd(int) {
  if (SaveState()) {
    RunSave("the state at the end of the session", [] {
      SaveState()();
      return true;
    });
  }
  DlgMgr::EndAllModal();
  EndMainLoop();
}
}  // namespace

namespace {
bool g_exitWaiting = false;

// Runs at each idle time until the modal loops have unwound, then ends the
// main loop. Idle time, not a queued call: a call queued again and again
// from inside a modal loop would be run again in the same pass, for ever.
void ExitWhenAtTheTop(wxIdleEvent& event) {
  event.Skip();
  wxEventLoopBase* active = wxEventLoopBase::GetActive();
  if (active && !active->IsMain()) {
    DlgMgr::EndAllModal();
    return;
  }
  wxTheApp->Unbind(wxEVT_IDLE, &ExitWhenAtTheTop);
  g_exitWaiting = false;
  wxTheApp->ExitMainLoop();
}
}  // namespace

void EndMainLoop() {
  if (!wxTheApp) return;
  wxEventLoopBase* active = wxEventLoopBase::GetActive();
  if (active && !active->IsMain()) {
    DlgMgr::EndAllModal();
    // Without a main loop there is nothing more to end.
    if (!wxTheApp->GetMainLoop() || g_exitWaiting) return;
    g_exitWaiting = true;
    wxTheApp->Bind(wxEVT_IDLE, &ExitWhenAtTheTop);
    wxWakeUpIdle();
    return;
  }
  wxTheApp->ExitMainLoop();
}

bool RunSave(const char* what, const std::function<bool()>& save) {
  try {
    if (save()) return true;
    ReportSaveFailure(what, "the file could not be created");
  } catch (const std::exception& e) {
    ReportSaveFailure(what, e.what());
  } catch (...) {
    ReportSaveFailure(what, "unknown error");
  }
  return false;
}

bool InstallSessionEndHandler(std::function<void()> saveState) {
  if (!wxTheApp) return false;
  SaveState() = std::move(saveState);
  bool ok = true;
  for (int signal : kSessionEndSignals) ok = wxTheApp->SetSignalHandler(signal, &OnSessionEnd) && ok;
  return ok;
}
