#pragma once
// The program's own command ids (the toolkit's stock ids, wxID_EXIT and the
// like, serve the rest). One table for every menu, tool bar and handler.
#include <wx/defs.h>

enum CommandId : int {
  ID_SHOW_MAIN_WINDOW = 6000,  // "&Show Main Window": the application
  ID_SHOW_LOG = 6200,          // "&Log...": the application
  ID_TOGGLE_FLOATING = 6204,   // "&Floating List": the application
  ID_TOGGLE_RECORDING = 6205,  // "&Pause Recording" / "&Start Recording": the application
};
