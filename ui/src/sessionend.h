#pragma once
// A Linux session ends by signals, not by a query to the application:
// SIGTERM, SIGHUP and SIGINT. Each is taken through the toolkit's signal
// handling, so the reaction runs on the GUI thread from the main loop, never
// inside the signal handler. A log-off cannot be told from a shutdown here:
// both save and exit.
#include <functional>

// Installs the handlers on the running application object. On a signal:
// saveState runs (what it throws is reported on standard error and in the
// Logger, and the exit goes on), every modal dialog is ended so it cannot
// hold up the exit, and the main loop ends. False when the toolkit refused
// a handler.
bool InstallSessionEndHandler(std::function<void()> saveState);

// Runs one save of the state on its own: a save that returns false or throws
// is reported on standard error and in the Logger (level Error) as
// "Cannot save <what>: <reason>", and nothing escapes, so the next save still
// runs. True when it succeeded.
bool RunSave(const char* what, const std::function<bool()>& save);

// Ends the main loop; from inside a modal loop it first ends the modal
// dialogs and waits until their loops are gone (the toolkit would otherwise
// quit the innermost loop instead). Safe to call without a running loop.
void EndMainLoop();

// The signals that end the session.
extern const int kSessionEndSignals[3];
