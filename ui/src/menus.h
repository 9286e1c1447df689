#pragma once
// The menu items and tools that several windows share, built from the command
// table (commands.h) with their pictures from the image strip. Item pictures
// are set before an item is appended (the toolkit shows none set later), so
// the recording item is replaced, not edited, when its option changes.
#include <wx/image.h>
#include <wx/string.h>

class wxMenu;
class wxMenuBar;
class wxMenuItem;
class wxToolBar;

// Makes an item appended to a menu show its picture, and only its own: the
// toolkit on GTK hides item pictures unless told otherwise item by item, and
// gives stock items a picture of the icon theme where we give none. Every
// builder here calls it; a caller that appends an item itself calls it after.
void ShowItemPicture(wxMenuItem* item);

// A normal menu item with the command's label and help text, and strip image
// `image` unless it is negative; appended to `menu`.
wxMenuItem* AppendCommandItem(const wxImage& strip, wxMenu* menu, int id, int image = -1);

// "&Manual" (with its image) and "&About", no separator.
void AppendHelpMenuItems(const wxImage& strip, wxMenu* menu);
// "&Copy", "&Paste", "&Delete": the record context menu's first items.
void AppendRecordMenuItems(const wxImage& strip, wxMenu* menu);
// "&Multiple Paste", "Paste &All", "M&ultiple Delete", "D&elete All".
void AppendListMenuItems(const wxImage& strip, wxMenu* menu);
// The main frame's Edit menu: the copy and paste items, a separator, the
// delete items.
void AppendEditMenuItems(const wxImage& strip, wxMenu* menu);

// A plain tool whose short and long help are both `help`.
void AddStripTool(wxToolBar* toolBar, const wxImage& strip, int id, const wxString& label, int image,
                  const wxString& help);
// The recording tool, inserted at position 0.
void InsertRecordingTool(wxToolBar* toolBar, const wxImage& strip, const wxString& label, int image,
                         const wxString& help);
// The recording tool with the face OPT_RECORDING asks for (absent: paused),
// inserted at position 0; the caller realises the tool bar.
void InsertCurrentRecordingTool(const wxImage& strip, wxToolBar* toolBar);
// The main tool bar's first tools: the recording tool, a separator, copy,
// paste, multiple paste, paste all. The caller adds the rest and realises it.
void AddRecordTools(const wxImage& strip, wxToolBar* toolBar);

// The recording item with the face OPT_RECORDING asks for (absent: paused),
// made for `menu` but not appended (ShowItemPicture once it is).
wxMenuItem* CreateRecordingMenuItem(const wxImage& strip, wxMenu* menu);
// Replaces the recording item wherever it stands in the menu bar with one of
// the current face, at the same position; nothing when there is none.
void UpdateRecordingMenuItem(const wxImage& strip, wxMenuBar* menuBar);
// Replaces the tool at position 0 (the recording tool) with one of the
// current face and realises the tool bar.
void ReplaceRecordingTool(const wxImage& strip, wxToolBar* toolBar);
