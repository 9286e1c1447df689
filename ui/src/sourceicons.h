#pragma once
// The small icons of the applications that records come from, in one image
// list that every record-list window shows. An executable's icon is the one
// its desktop entry names (an entry in the XDG applications folders whose
// Exec or TryExec starts it), from the icon theme or the file the entry
// gives; else the theme's icon of the executable's own name; else the
// strip's program image (index 0). GUI thread only.
//
// Asking never blocks painting: an executable met for the first time gets
// the generic image at once and is looked up on a later turn of the loop,
// when the windows that show icons are refreshed. The desktop entries are
// read once, at the first lookup.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <wx/event.h>
#include <wx/imaglist.h>
#include <wx/string.h>

class wxWindow;

class SourceIcons : public wxEvtHandler {
 public:
  static constexpr int kGenericImage = 0;

  static SourceIcons& Get();
  // Ends the instance (the toolkit's shut-down does this).
  static void Destroy();

  // The shared list of 16 x 16 images; its owner is this object.
  wxImageList* GetImageList();
  // The image of `application` (a path); the generic image while its icon
  // is still to be looked up, and for good when it has none.
  int GetIconIndex(const wxString& application);

  // Windows refreshed when looked-up icons arrive (not owned).
  void AddWindow(wxWindow* window);
  void RemoveWindow(wxWindow* window);

  // Looks up what waits now, not on the next turn of the loop.
  void ResolvePending();
  // Forgets the icons and the desktop entries read so far.
  void Reset();

 private:
  SourceIcons() = default;
  void AddGenericImage();
  void BuildIndex();
  int LookUp(const std::string& application);
  int AddIcon(const std::string& icon);

  std::unique_ptr<wxImageList> images;
  // Image index per application path and per icon name or file.
  std::unordered_map<std::string, int> byApplication;
  std::unordered_map<std::string, int> byIcon;
  std::vector<std::string> pending;
  bool resolveQueued = false;
  // Icon per program base name, from the desktop entries.
  std::unordered_map<std::string, std::string> iconByProgram;
  bool indexBuilt = false;
  std::vector<wxWindow*> windows;
};
