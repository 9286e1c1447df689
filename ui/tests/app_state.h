#pragma once
// What the test main saw of the application before any test ran.

// Whether the deferred start-up had run when OnInit returned.
extern bool g_deferredBeforeLoop;
// Whether the main frame was shown when OnInit returned.
extern bool g_mainFrameShownAtStart;
// Whether the help controller existed when OnInit returned.
extern bool g_helpControllerAtStart;
