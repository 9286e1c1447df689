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

// The signals that end the session.
extern const int kSessionEndSignals[3];
