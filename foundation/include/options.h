#pragma once
// Every option id of the program, with its type and the default the settings
// record sets (readers pass their own default; without one an option reads as
// false or 0), and the typed access to the one settings record and its
// observers. Including this header does not pull in the settings record.
#include <wx/gdicmn.h>
#include <wx/string.h>

#include "cmn/option.h"

// Popup list shortcut.
constexpr int OPT_POPUP_SHORTCUT = 0;        // bool, true
constexpr int OPT_POPUP_SHORTCUT_CTRL = 1;   // bool, false
constexpr int OPT_POPUP_SHORTCUT_ALT = 2;    // bool, false
constexpr int OPT_SHORTCUT_KEY = 3;          // char, 'V' (the only char option)
constexpr int OPT_POPUP_SHORTCUT_WIN = 25;   // bool, true
// Floating list keys.
constexpr int OPT_FLOATING_KEYS = 4;         // bool, true
constexpr int OPT_FLOATING_KEYS_CTRL = 5;    // bool, false
constexpr int OPT_FLOATING_KEYS_ALT = 6;     // bool, false
constexpr int OPT_FLOATING_KEYS_WIN = 26;    // bool, true
// Window geometry and tabs.
constexpr int OPT_FLOATING_RECT = 7;         // wxRect, (display width - 155, 5, 150, 300)
constexpr int OPT_POPUP_SIZE = 8;            // wxSize, (150, 300)
constexpr int OPT_MENU_WINDOW_SIZE = 9;      // wxSize, (150, 300)
constexpr int OPT_MAIN_FRAME_RECT = 10;      // wxRect, (-1, -1, -1, -1): the toolkit's defaults
constexpr int OPT_FLOATING_TAB = 11;         // int, 0
constexpr int OPT_POPUP_TAB = 12;            // int, 0
constexpr int OPT_MENU_WINDOW_TAB = 13;      // int, 0
constexpr int OPT_MAIN_FRAME_TAB = 14;       // int, 0
constexpr int OPT_FLOATING_SHOWN = 15;       // bool, true
constexpr int OPT_FLOATING_HEIGHT = 33;      // int, no default
// Network.
constexpr int OPT_RECEIVE_ENABLED = 17;      // bool, false
constexpr int OPT_AUTO_SEND = 19;            // bool, no default
constexpr int OPT_RECEIVER_PORT = 22;        // int, 45689 (written unsigned by the network page)
// Recording and the clipboard viewer chain.
constexpr int OPT_RECORDING = 18;            // bool, true
constexpr int OPT_REJOIN_VIEWER = 23;        // bool, true
constexpr int OPT_REJOIN_INTERVAL = 24;      // int, 10000 (milliseconds)
constexpr int OPT_ALLOW_DUPLICATES = 34;     // bool, no default
// Program.
constexpr int OPT_CHECK_VERSION = 20;        // bool, false
constexpr int OPT_AUTO_START = 21;           // bool, true
constexpr int OPT_NOTIFIED_VERSION = 29;     // int, 3000003
// Multiple paste.
constexpr int OPT_MULTIPASTE_INSERT = 30;    // bool, no default
constexpr int OPT_MULTIPASTE_TEXT = 31;      // text, no default (the only text option)
constexpr int OPT_MULTIPASTE_AT_ONCE = 32;   // bool, true
// Per clipboard format: OPT_RECORD_FORMAT_BASE + n records the format whose
// item type id is 1000 + n; OPT_PASTE_EXCLUDE_BASE + n leaves it out when
// copying or pasting (absent means pasted). Both bool.
// Record defaults: 1001 plain text, 1002 locale, 1003 RTF, 1004 HTML and
// 1008 CSV true; 1005 bitmap, 1006 metafile and 1007 embedded object false;
// 1000, the tag, none.
constexpr int OPT_RECORD_FORMAT_BASE = 1000;
constexpr int OPT_PASTE_EXCLUDE_BASE = 2000;
// Ids 16 and 28 are not used; 27 is a bool the settings file carries (false).

// Typed access to the option store of the settings record the application
// installed (SetAppConfig in appconfig.h); GUI thread only. A reader gets its
// option's value when the option is found and parses as T, and otherwise def
// (also while no record is installed, when a write does nothing).
// T is bool, char, int, unsigned long, wxSize, wxRect or wxString.
template <class T>
bool GetOption(int id, T& out, const T& def);
template <class T>
T OptionValue(int id, const T& def);
template <class T>
void SetOption(int id, const T& v);
// The char and text forms without an id read and write OPT_SHORTCUT_KEY and
// OPT_MULTIPASTE_TEXT (T is char or wxString).
template <class T>
bool GetOption(T& out, const T& def);
template <class T>
void SetOption(const T& v);

// Following an option: o->OnOptionChanged(id) is called after every change
// of the option's value, until o is removed. An observer adds itself once the
// settings are loaded and removes itself before it goes away; both do nothing
// while no record is installed.
void AddOptionObserver(int id, cmn::option<int>::observer* o);
void RemoveOptionObserver(int id, cmn::option<int>::observer* o);
