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

// Ending the main loop from inside a modal loop would end the wrong one (the
// toolkit quits the innermost loop): wait until the modal loops are gone.
void ExitMainLoopFromTheTop() {
  if (!wxTheApp) return;
  wxEventLoopBase* active = wxEventLoopBase::GetActive();
  if (active && !active->IsMain()) {
    DlgMgr::EndAllModal();
    wxTheApp->CallAfter(&ExitMainLoopFromTheTop);
    return;
  }
  wxTheApp->ExitMainLoop();
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
  ExitMainLoopFromTheTop();
}
}  // namespace

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
