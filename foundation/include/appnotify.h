#pragma once
// The program's own notice event. Work that must happen later on the GUI
// thread, posted from any thread or from the GUI thread itself, travels as a
// wxCommandEvent of type EVT_APP_NOTIFY: the event id is the notice id, the
// event's integer its value.
//
// Header-only on purpose: it needs nothing but the toolkit, so every layer that
// uses the toolkit (the version checker, the network exchange, the windows)
// can include it without linking anything of ours.
#include <wx/event.h>

// Every notice the program posts. Ids 2 to 100 belong to the network server,
// which binds the whole range to one handler.
enum AppNotifyId : int {
  ID_NOTIFY_RECORD_RECEIVED = 2,    // receiver: a record is queued
  ID_NOTIFY_LIST_RECEIVED = 3,      // receiver: a record list is queued
  ID_NOTIFY_HISTORY_RECEIVED = 4,   // receiver: a history is queued
  ID_NOTIFY_TRANSFER_START = 11,    // receiver or sender; value: payload length
  ID_NOTIFY_RECEIVE_PROGRESS = 12,  // value: bytes received so far
  ID_NOTIFY_RECEIVE_DONE = 13,
  ID_NOTIFY_RECEIVE_FAILED = 14,
  ID_NOTIFY_RECEIVER_ENDED = 15,    // a receiver thread unregistered itself
  ID_NOTIFY_SEND_PROGRESS = 52,     // value: bytes sent so far (0 after the reply)
  ID_NOTIFY_SEND_DONE = 53,         // last notice of a sender, whatever the outcome
  ID_NOTIFY_SEND_FAILED = 54,
  ID_NOTIFY_SENDER_ENDED = 55,      // a sender thread unregistered itself
  ID_NOTIFY_NET_FIRST = 2,          // the range the network server binds
  ID_NOTIFY_NET_LAST = 100,

  ID_NOTIFY_DIALOG_SHOWN = 101,     // to DlgMgr: its dialog's modal loop runs
  ID_NOTIFY_FLOATING_MENU = 102,    // floating window: its resize settled
  ID_NOTIFY_LIST_CHANGED = 103,     // record-list window: refresh the view
  ID_NOTIFY_STARTUP = 104,          // application: deferred start-up
  ID_NOTIFY_LOG_ADDED = 105,        // Logger: refresh the open log window
  ID_NOTIFY_LIST_ITEM = 106,        // record-list window; value: the row to update

  // Version checker to the taskbar icon; value: the new version number, the
  // event's string: the download address. Built by the checker itself (it
  // carries a string) and queued with AddPendingEvent like any notice.
  ID_NOTIFY_NEW_VERSION = 1000000,
};

// One type for the whole run, taken from the toolkit's allocator at start-up.
// An inline variable: the same object in every translation unit.
inline const wxEventTypeTag<wxCommandEvent> EVT_APP_NOTIFY(wxNewEventType());

// Event-table entries for one notice id or a range of them.
#define EVT_APP_NOTICE(id, func) EVT_COMMAND(id, EVT_APP_NOTIFY, func)
#define EVT_APP_NOTICE_RANGE(id1, id2, func) EVT_COMMAND_RANGE(id1, id2, EVT_APP_NOTIFY, func)

// Queues the notice on handler; safe from any thread (the toolkit's pending-
// event queue is locked). A null handler queues nothing.
inline void PostNotifyEvent(wxEvtHandler* handler, int id, int value = 0) {
  if (!handler) return;
  wxCommandEvent notice(EVT_APP_NOTIFY, id);
  notice.SetInt(value);
  handler->AddPendingEvent(notice);
}
