#include "taskbaricon.h"

#include <dlfcn.h>

#include <cstring>

#include <wx/intl.h>
#include <wx/bmpbndl.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "appnotify.h"
#include "commands.h"
#include "dlgmgr.h"
#include "imagestrip.h"
#include "menus.h"
#include "menuwindow.h"
#include "msgbox.h"
#include "options.h"
#include "startup.h"  // kProductTitle
#include "taskbariconanimator.h"

wxBEGIN_EVENT_TABLE(TaskBarIcon, cmn::wx::TaskBarIcon)
  EVT_TASKBAR_LEFT_DOWN(TaskBarIcon::OnLeftDown)
  EVT_TASKBAR_CLICK(TaskBarIcon::OnRightClick)
  EVT_APP_NOTICE(ID_NOTIFY_NEW_VERSION, TaskBarIcon::OnNewVersion)
wxEND_EVENT_TABLE()

TaskBarIcon::TaskBarIcon() : animator(std::make_unique<TaskBarIconAnimator>(this)) {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  for (int image = IMG_ANIMATION_FIRST; image <= IMG_ANIMATION_LAST; ++image)
    frames.push_back(GetOverlayIcon(*strip, image));
}

TaskBarIcon::~TaskBarIcon() = default;

void TaskBarIcon::ShowIcon(const wxIcon& icon, const wxString& tooltip) {
  SetIcon(icon, tooltip);
  animator->SetResting(icon, tooltip);
}

void TaskBarIcon::AddMessage(const wxIcon& icon, const wxString& text) {
  messages.push_back({icon, text});
  ShowIcon(icon, text);
}

bool TaskBarIcon::ShowPendingMessage() {
  if (messages.empty()) return false;
  const PendingMessage message = messages.back();
  messages.pop_back();
  if (ShowManagedMessageBox(message.text, kProductTitle, wxOK | wxSTAY_ON_TOP) == wxID_NONE) {
    // Not shown (a dialog of ours came first): it waits on.
    messages.push_back(message);
    return true;
  }
  if (messages.empty()) {
    const std::unique_ptr<wxImage> strip = LoadImageStrip();
    ShowIcon(GetAppIcon(*strip), kProductTitle);
  } else {
    ShowIcon(messages.back().icon, messages.back().text);
  }
  return true;
}

void TaskBarIcon::Animate() { animator->Play(frames); }

wxMenu* TaskBarIcon::CreatePopupMenu() {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  auto* menu = new wxMenu;
  AppendCommandItem(*strip, menu, wxID_EXIT);
  menu->AppendSeparator();
  AppendHelpMenuItems(*strip, menu);
  menu->AppendSeparator();
  AppendCommandItem(*strip, menu, wxID_PREFERENCES, IMG_OPTIONS);
  menu->AppendSeparator();
  AppendCommandItem(*strip, menu, ID_SHOW_LOG);
  menu->AppendCheckItem(ID_TOGGLE_FLOATING, CommandLabel(ID_TOGGLE_FLOATING), CommandHelp(ID_TOGGLE_FLOATING));
  AppendCommandItem(*strip, menu, ID_SHOW_MAIN_WINDOW);
  menu->AppendSeparator();
  ShowItemPicture(menu->Append(CreateRecordingMenuItem(*strip, menu)));
  return menu;
}

bool TaskBarIcon::ClickTakenByDialogOrMessage() {
  if (wxDialog* dialog = DlgMgr::CurrentDialog()) {
    dialog->Raise();
    return true;
  }
  return ShowPendingMessage();
}

void TaskBarIcon::OnLeftDown(wxTaskBarIconEvent&) {
  if (ClickTakenByDialogOrMessage()) return;
  if (!menuWindow || menuWindow->IsShown()) return;
  // Its bottom-right corner at the pointer, inside the work area of the
  // monitor there, wherever the panel stands.
  menuWindow->OpenAt(wxGetMousePosition());
}

void TaskBarIcon::OnRightClick(wxTaskBarIconEvent& event) {
  if (ClickTakenByDialogOrMessage()) return;
  event.Skip();  // the base opens the menu
}

void TaskBarIcon::OnNewVersion(wxCommandEvent& event) {
  const int version = event.GetInt();
  if (version <= OptionValue<int>(OPT_NOTIFIED_VERSION, 0)) return;
  SetOption(OPT_NOTIFIED_VERSION, version);
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  AddMessage(GetOverlayIcon(*strip, IMG_NEW_VERSION),
             wxGetTranslation("New version is available.  Please download it here: ") + event.GetString());
}

bool TaskBarIcon::IsEmbedded() {
#ifdef __WXGTK__
  // The toolkit keeps its tray icon to itself; GTK's icon lives in a
  // toplevel of type GtkTrayIcon whose "embedded" property says whether a
  // notification area holds it. GTK is already loaded with the toolkit, so
  // its functions are looked up rather than linked.
  struct ListNode {  // GLib's GList
    void* data;
    ListNode* next;
    ListNode* prev;
  };
  using ToplevelsFn = ListNode* (*)();
  using FreeFn = void (*)(ListNode*);
  using TypeNameFn = const char* (*)(void*);
  using GetFn = void (*)(void*, const char*, ...);
  static const auto toplevels = reinterpret_cast<ToplevelsFn>(dlsym(RTLD_DEFAULT, "gtk_window_list_toplevels"));
  static const auto freeList = reinterpret_cast<FreeFn>(dlsym(RTLD_DEFAULT, "g_list_free"));
  static const auto typeName = reinterpret_cast<TypeNameFn>(dlsym(RTLD_DEFAULT, "g_type_name_from_instance"));
  static const auto get = reinterpret_cast<GetFn>(dlsym(RTLD_DEFAULT, "g_object_get"));
  if (!toplevels || !freeList || !typeName || !get) return false;
  bool embedded = false;
  ListNode* all = toplevels();
  for (ListNode* node = all; node && !embedded; node = node->next) {
    const char* name = typeName(node->data);
    if (!name || std::strcmp(name, "GtkTrayIcon") != 0) continue;
    int value = 0;  // gboolean
    get(node->data, "embedded", &value, nullptr);
    embedded = value != 0;
  }
  freeList(all);
  return embedded;
#else
  return true;
#endif
}
