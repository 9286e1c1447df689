#include "sourceicons.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <wx/artprov.h>
#include <wx/bmpbndl.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/window.h>

#include "cmn/strconv.h"
#include "desktopentry.h"
#include "imagestrip.h"

namespace {

constexpr int kIconSize = 16;
// An icon file larger than this is not read.
constexpr wxFileOffset kMaxIconFileBytes = 4 * 1024 * 1024;

SourceIcons* g_instance = nullptr;

// The XDG data folders, the most important first.
std::vector<std::string> DataDirs() {
  std::vector<std::string> dirs;
  const char* home = std::getenv("XDG_DATA_HOME");
  if (home && *home) {
    dirs.push_back(home);
  } else if (const char* h = std::getenv("HOME")) {
    dirs.push_back(std::string(h) + "/.local/share");
  }
  const char* system = std::getenv("XDG_DATA_DIRS");
  std::string list = system && *system ? system : "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t colon = std::min(list.find(':', start), list.size());
    if (colon > start) dirs.push_back(list.substr(start, colon - start));
    start = colon + 1;
  }
  return dirs;
}

bool ReadSmallFile(const wxString& path, std::string& text) {
  std::ifstream in(path.fn_str(), std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return text.size() <= kMaxDesktopEntryBytes;
}

wxBitmap Fit(const wxImage& image) {
  if (!image.IsOk()) return wxBitmap();
  if (image.GetWidth() == kIconSize && image.GetHeight() == kIconSize) return wxBitmap(image);
  return wxBitmap(image.Scale(kIconSize, kIconSize, wxIMAGE_QUALITY_HIGH));
}

wxBitmap LoadIconFile(const wxString& path) {
  const wxFileName name(path);
  if (!name.FileExists() || name.GetSize() > kMaxIconFileBytes) return wxBitmap();
  if (name.GetExt().Lower() == "svg") {
    const wxBitmapBundle bundle = wxBitmapBundle::FromSVGFile(path, wxSize(kIconSize, kIconSize));
    return bundle.IsOk() ? bundle.GetBitmap(wxSize(kIconSize, kIconSize)) : wxBitmap();
  }
  wxImage image;
  if (!image.LoadFile(path)) return wxBitmap();
  return Fit(image);
}

wxBitmap LoadThemeIcon(wxString name) {
  // Some entries name a theme icon with its file extension.
  for (const char* ext : {".png", ".svg", ".xpm"}) {
    if (name.EndsWith(ext)) name.RemoveLast(4);
  }
  if (name.empty()) return wxBitmap();
  const wxBitmap bitmap = wxArtProvider::GetBitmap(wxART_MAKE_ART_ID_FROM_STR(name), wxART_OTHER,
                                                   wxSize(kIconSize, kIconSize));
  return bitmap.IsOk() ? Fit(bitmap.ConvertToImage()) : wxBitmap();
}

class SourceIconsModule : public wxModule {
 public:
  bool OnInit() override { return true; }
  void OnExit() override { SourceIcons::Destroy(); }

 private:
  wxDECLARE_DYNAMIC_CLASS(SourceIconsModule);
};

}  // namespace

wxIMPLEMENT_DYNAMIC_CLASS(SourceIconsModule, wxModule);

SourceIcons& SourceIcons::Get() {
  if (!g_instance) g_instance = new SourceIcons;
  return *g_instance;
}

void SourceIcons::Destroy() {
  delete g_instance;
  g_instance = nullptr;
}

wxImageList* SourceIcons::GetImageList() {
  if (!images) {
    images = std::make_unique<wxImageList>(kIconSize, kIconSize, true);
    AddGenericImage();
  }
  return images.get();
}

int SourceIcons::GetIconIndex(const wxString& application) {
  if (application.empty()) return kGenericImage;
  const std::string key = cmn::wx::ToStdString(application);
  const auto found = byApplication.find(key);
  if (found != byApplication.end()) return found->second;
  byApplication.emplace(key, kGenericImage);
  pending.push_back(key);
  if (!resolveQueued) {
    resolveQueued = true;
    CallAfter(&SourceIcons::ResolvePending);
  }
  return kGenericImage;
}

void SourceIcons::AddWindow(wxWindow* window) { windows.push_back(window); }

void SourceIcons::RemoveWindow(wxWindow* window) {
  windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
}

void SourceIcons::ResolvePending() {
  resolveQueued = false;
  if (pending.empty()) return;
  GetImageList();
  // A broken icon file is no news for the user.
  wxLogNull quiet;
  BuildIndex();
  bool changed = false;
  std::vector<std::string> waiting;
  waiting.swap(pending);
  for (const std::string& application : waiting) {
    const int index = LookUp(application);
    byApplication[application] = index;
    changed = changed || index != kGenericImage;
  }
  if (!changed) return;
  for (wxWindow* window : windows) window->Refresh();
}

void SourceIcons::Reset() {
  // The windows keep the list itself: only its images go.
  if (images) {
    images->RemoveAll();
    AddGenericImage();
  }
  byApplication.clear();
  byIcon.clear();
  pending.clear();
  iconByProgram.clear();
  indexBuilt = false;
}

void SourceIcons::AddGenericImage() { images->Add(GetStripBitmap(*LoadImageStrip(), IMG_PROGRAM)); }

void SourceIcons::BuildIndex() {
  if (indexBuilt) return;
  indexBuilt = true;
  for (const std::string& dir : DataDirs()) {
    const wxString folder = cmn::wx::FromStdString(dir) + "/applications";
    if (!wxDir::Exists(folder)) continue;
    wxArrayString files;
    wxDir::GetAllFiles(folder, &files, "*.desktop", wxDIR_FILES | wxDIR_DIRS);
    files.Sort();
    for (const wxString& file : files) {
      std::string text;
      DesktopEntry entry;
      if (!ReadSmallFile(file, text) || !ParseDesktopEntry(text, entry)) continue;
      // The first folder that names a program wins, as for the desktop.
      for (const std::string& program : entry.programs) iconByProgram.emplace(program, entry.icon);
    }
  }
}

int SourceIcons::LookUp(const std::string& application) {
  const std::string program = BaseName(application);
  if (program.empty()) return kGenericImage;
  const auto named = iconByProgram.find(program);
  if (named != iconByProgram.end()) {
    const int index = AddIcon(named->second);
    if (index != kGenericImage) return index;
  }
  return AddIcon(program);
}

int SourceIcons::AddIcon(const std::string& icon) {
  const auto known = byIcon.find(icon);
  if (known != byIcon.end()) return known->second;
  const wxString name = cmn::wx::FromStdString(icon);
  const wxBitmap bitmap = name.StartsWith("/") ? LoadIconFile(name) : LoadThemeIcon(name);
  int index = bitmap.IsOk() ? images->Add(bitmap) : kGenericImage;
  if (index < 0) index = kGenericImage;
  byIcon.emplace(icon, index);
  return index;
}
