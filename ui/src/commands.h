#pragma once
// Every command of the program: its id, menu label and help text, in one
// table that the menu and tool builders, the frames and the handlers share.
// The toolkit's stock ids serve exit, about, the manual, the options, copy,
// paste and delete (wxID_EXIT and the like); the rest are ours.
#include <wx/defs.h>
#include <wx/string.h>

enum CommandId : int {
  ID_SHOW_MAIN_WINDOW = 6000,    // the application
  ID_LIST_INSERT_BEFORE = 6001,  // 6001 to 6099: the history tab menu
  ID_LIST_INSERT_AFTER = 6002,
  ID_LIST_REMOVE = 6003,
  ID_LIST_PROPERTIES = 6004,
  ID_LIST_LISTEN = 6005,
  ID_LIST_SAVE = 6006,
  ID_LIST_LOAD = 6007,
  ID_LIST_LAST = 6099,
  ID_SHOW_LOG = 6200,            // the application
  ID_DELETE_ALL = 6201,
  ID_TOGGLE_TOOLBAR = 6202,      // the main frame
  ID_TOGGLE_STATUSBAR = 6203,    // the main frame
  ID_TOGGLE_FLOATING = 6204,     // the application
  ID_TOGGLE_RECORDING = 6205,    // the application; two faces, below
  ID_FLOATING_OPEN = 6207,       // the floating list
  ID_FLOATING_CLOSE = 6208,      // the floating list
  ID_FLOATING_TEXT = 6209,       // the floating list's static text (no command)
  ID_MULTIPLE_PASTE = 6210,
  ID_PASTE_ALL = 6211,
  ID_MULTIPLE_DELETE = 6212,
  ID_RECORD_MOVE_UP = 6219,
  ID_RECORD_MOVE_DOWN = 6220,

  // "Send List To:": remembered host N is ID_SEND_LIST_FIRST + N.
  ID_SEND_LIST_MENU = 16000,
  ID_SEND_LIST_FIRST = 16001,
  ID_SEND_LIST_OTHER = 16499,
  // "Send Record To:": remembered host N is ID_SEND_RECORD_FIRST + N.
  ID_SEND_RECORD_MENU = 16500,
  ID_SEND_RECORD_FIRST = 16501,
  ID_SEND_RECORD_OTHER = 16999,
  // "Move To List:": the history's list N is ID_MOVE_TO_LIST_FIRST + N, for
  // every list a history may hold (pq::History::kListLimit).
  ID_MOVE_TO_LIST_MENU = 17000,
  ID_MOVE_TO_LIST_FIRST = 17001,
  ID_MOVE_TO_LIST_LAST = 18000,
};

// A command's label and help text, untranslated (wxTRANSLATE marks them).
struct CommandText {
  int id;
  const char* label;
  const char* help;
};

// The entry of `id`; null for an id the table does not hold (the per-host
// and per-list items, which are built from their data, and the dialogs' OK
// and Cancel).
const CommandText* FindCommand(int id);
// The translated label and help text of `id`; empty when the table has none.
wxString CommandLabel(int id);
wxString CommandHelp(int id);

// The two faces of ID_TOGGLE_RECORDING: while recording it offers to pause.
extern const CommandText kPauseRecordingCommand;
extern const CommandText kStartRecordingCommand;
const CommandText& RecordingCommand(bool recording);

// The help texts of the generated items begin with these (followed by the
// item's label: a host, or a list's name).
extern const char kSendListToHelp[];
extern const char kSendRecordToHelp[];
extern const char kMoveToListHelp[];
