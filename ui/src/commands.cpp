#include "commands.h"

#include <wx/intl.h>

namespace {
const CommandText kCommands[] = {
    {wxID_EXIT, wxTRANSLATE("E&xit"), wxTRANSLATE("Close Pastiq")},
    {wxID_ABOUT, wxTRANSLATE("&About"), wxTRANSLATE("About Pastiq")},
    {wxID_HELP_CONTENTS, wxTRANSLATE("&Manual"), wxTRANSLATE("Pastiq Manual")},
    {wxID_PREFERENCES, wxTRANSLATE("&Options"), wxTRANSLATE("Change application settings")},
    {wxID_COPY, wxTRANSLATE("&Copy"), wxTRANSLATE("Copy record to clipboard")},
    {wxID_PASTE, wxTRANSLATE("&Paste"), wxTRANSLATE("Paste record to previous working application")},
    {wxID_DELETE, wxTRANSLATE("&Delete"), wxTRANSLATE("Delete the selected record")},
    {ID_SHOW_MAIN_WINDOW, wxTRANSLATE("&Show Main Window"), wxTRANSLATE("Show the main window")},
    {ID_LIST_INSERT_BEFORE, wxTRANSLATE("Insert &Before"), wxTRANSLATE("Insert new record list before this list")},
    {ID_LIST_INSERT_AFTER, wxTRANSLATE("Insert &After"), wxTRANSLATE("Insert new record list after this list")},
    {ID_LIST_REMOVE, wxTRANSLATE("&Remove"), wxTRANSLATE("Remove this record list")},
    {ID_LIST_PROPERTIES, wxTRANSLATE("&Properties"), wxTRANSLATE("Edit the properties of the record list")},
    {ID_LIST_LISTEN, wxTRANSLATE("&Listen To Clipboard"),
     wxTRANSLATE("Observe the clipboard and record clips in the list.")},
    {ID_LIST_SAVE, wxTRANSLATE("&Save"), wxTRANSLATE("Save this record list")},
    {ID_LIST_LOAD, wxTRANSLATE("&Load"), wxTRANSLATE("Load record list from file")},
    {ID_SHOW_LOG, wxTRANSLATE("&Log..."), wxTRANSLATE("Show the log window")},
    {ID_DELETE_ALL, wxTRANSLATE("D&elete All"), wxTRANSLATE("Delete ALL records in the list")},
    {ID_TOGGLE_TOOLBAR, wxTRANSLATE("&Tool Bar"), wxTRANSLATE("Toggle tool bar")},
    {ID_TOGGLE_STATUSBAR, wxTRANSLATE("&Status Bar"), wxTRANSLATE("Toggle status bar")},
    {ID_TOGGLE_FLOATING, wxTRANSLATE("&Floating List"), wxTRANSLATE("Toggle floating list window")},
    {ID_FLOATING_OPEN, wxTRANSLATE("&Open"), wxTRANSLATE("Open the floating list window")},
    {ID_FLOATING_CLOSE, wxTRANSLATE("&Close"), wxTRANSLATE("Close the floating list window")},
    {ID_MULTIPLE_PASTE, wxTRANSLATE("&Multiple Paste"),
     wxTRANSLATE("Paste multiple records to previous working application")},
    {ID_PASTE_ALL, wxTRANSLATE("Paste &All"),
     wxTRANSLATE("Paste ALL records in the list to previous working application")},
    {ID_MULTIPLE_DELETE, wxTRANSLATE("M&ultiple Delete"), wxTRANSLATE("Delete multiple records")},
    {ID_RECORD_MOVE_UP, wxTRANSLATE("Move &Up"), wxTRANSLATE("Move the record up in the sequence")},
    {ID_RECORD_MOVE_DOWN, wxTRANSLATE("Move &Down"), wxTRANSLATE("Move the record down in the sequence")},
    {ID_SEND_LIST_MENU, wxTRANSLATE("&Send List To:"), wxTRANSLATE("Send the list to other computer")},
    {ID_SEND_LIST_OTHER, wxTRANSLATE("&Other Computer..."), wxTRANSLATE("Send the list to other computer")},
    {ID_SEND_RECORD_MENU, wxTRANSLATE("&Send Record To:"), wxTRANSLATE("Send the record to other computer")},
    {ID_SEND_RECORD_OTHER, wxTRANSLATE("&Other Computer..."), wxTRANSLATE("Send the record to other computer")},
    {ID_MOVE_TO_LIST_MENU, wxTRANSLATE("Move &To List:"), wxTRANSLATE("Move the record to other list")},
};
}  // namespace

const CommandText kPauseRecordingCommand = {ID_TOGGLE_RECORDING, wxTRANSLATE("&Pause Recording"),
                                            wxTRANSLATE("Pause recording clipboard records")};
const CommandText kStartRecordingCommand = {ID_TOGGLE_RECORDING, wxTRANSLATE("&Start Recording"),
                                            wxTRANSLATE("Start recording clipboard records")};

const char kSendListToHelp[] = wxTRANSLATE("Send the list to: ");
const char kSendRecordToHelp[] = wxTRANSLATE("Send the record to: ");
const char kMoveToListHelp[] = wxTRANSLATE("Move the record to list: ");

const CommandText& RecordingCommand(bool recording) {
  return recording ? kPauseRecordingCommand : kStartRecordingCommand;
}

const CommandText* FindCommand(int id) {
  for (const CommandText& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

wxString CommandLabel(int id) {
  const CommandText* c = FindCommand(id);
  return c ? wxGetTranslation(c->label) : wxString();
}

wxString CommandHelp(int id) {
  const CommandText* c = FindCommand(id);
  return c ? wxGetTranslation(c->help) : wxString();
}
