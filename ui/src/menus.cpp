#include "menus.h"

#include <dlfcn.h>

#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include "commands.h"
#include "imagestrip.h"
#include "options.h"

namespace {

struct ItemSpec {
  int id;
  int image;
};

const ItemSpec kCopyPasteItems[] = {
    {wxID_COPY, IMG_COPY}, {wxID_PASTE, IMG_PASTE}, {ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE}, {ID_PASTE_ALL, IMG_PASTE_ALL}};
const ItemSpec kDeleteItems[] = {
    {wxID_DELETE, IMG_DELETE}, {ID_MULTIPLE_DELETE, IMG_MULTIPLE_DELETE}, {ID_DELETE_ALL, IMG_DELETE_ALL}};
const ItemSpec kRecordItems[] = {{wxID_COPY, IMG_COPY}, {wxID_PASTE, IMG_PASTE}, {wxID_DELETE, IMG_DELETE}};
const ItemSpec kListItems[] = {{ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE},
                               {ID_PASTE_ALL, IMG_PASTE_ALL},
                               {ID_MULTIPLE_DELETE, IMG_MULTIPLE_DELETE},
                               {ID_DELETE_ALL, IMG_DELETE_ALL}};

template <std::size_t N>
void AppendItems(const wxImage& strip, wxMenu* menu, const ItemSpec (&items)[N]) {
  for (const ItemSpec& item : items) AppendCommandItem(strip, menu, item.id, item.image);
}

int RecordingImage(bool recording) { return recording ? IMG_PAUSE_RECORDING : IMG_START_RECORDING; }

bool Recording() { return OptionValue<bool>(OPT_RECORDING, false); }

wxMenuItem* NewItem(const wxImage& strip, wxMenu* menu, int id, const wxString& label, const wxString& help,
                    int image) {
  auto* item = new wxMenuItem(menu, id, label, help, wxITEM_NORMAL);
  if (image >= 0) item->SetBitmap(GetStripBitmap(strip, image));
  return item;
}

}  // namespace

void ShowItemPicture(wxMenuItem* item) {
#ifdef __WXGTK__
  // GTK is the toolkit's own, already loaded with it, so its functions are
  // looked up rather than linked.
  using TypeFn = unsigned long (*)();
  using IsAFn = int (*)(void*, unsigned long);
  using ShowFn = void (*)(void*, int);
  using SetImageFn = void (*)(void*, void*);
  static const auto imageItemType = reinterpret_cast<TypeFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_type"));
  static const auto isA = reinterpret_cast<IsAFn>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
  static const auto alwaysShow =
      reinterpret_cast<ShowFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_set_always_show_image"));
  static const auto setImage = reinterpret_cast<SetImageFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_set_image"));
  void* widget = item ? item->GetMenuItem() : nullptr;
  if (!widget || !imageItemType || !isA || !alwaysShow || !setImage || !isA(widget, imageItemType())) return;
  if (item->GetBitmap().IsOk())
    alwaysShow(widget, 1);
  else
    setImage(widget, nullptr);
#else
  (void)item;
#endif
}

wxMenuItem* AppendCommandItem(const wxImage& strip, wxMenu* menu, int id, int image) {
  wxMenuItem* item = menu->Append(NewItem(strip, menu, id, CommandLabel(id), CommandHelp(id), image));
  ShowItemPicture(item);
  return item;
}

void AppendHelpMenuItems(const wxImage& strip, wxMenu* menu) {
  AppendCommandItem(strip, menu, wxID_HELP_CONTENTS, IMG_MANUAL);
  AppendCommandItem(strip, menu, wxID_ABOUT);
}

void AppendRecordMenuItems(const wxImage& strip, wxMenu* menu) { AppendItems(strip, menu, kRecordItems); }

void AppendListMenuItems(const wxImage& strip, wxMenu* menu) { AppendItems(strip, menu, kListItems); }

void AppendEditMenuItems(const wxImage& strip, wxMenu* menu) {
  AppendItems(strip, menu, kCopyPasteItems);
  menu->AppendSeparator();
  AppendItems(strip, menu, kDeleteItems);
}

void AddStripTool(wxToolBar* toolBar, const wxImage& strip, int id, const wxString& label, int image,
                  const wxString& help) {
  toolBar->AddTool(id, label, GetStripBitmap(strip, image), wxNullBitmap, wxITEM_NORMAL, help, help);
}

void InsertRecordingTool(wxToolBar* toolBar, const wxImage& strip, const wxString& label, int image,
                         const wxString& help) {
  toolBar->InsertTool(0, ID_TOGGLE_RECORDING, label, GetStripBitmap(strip, image), wxNullBitmap, wxITEM_NORMAL,
                      help, help);
}

void AddRecordTools(const wxImage& strip, wxToolBar* toolBar) {
  const bool recording = Recording();
  const CommandText& face = RecordingCommand(recording);
  AddStripTool(toolBar, strip, ID_TOGGLE_RECORDING, wxGetTranslation(face.label), RecordingImage(recording),
               wxGetTranslation(face.help));
  toolBar->AddSeparator();
  for (const ItemSpec& tool : kCopyPasteItems)
    AddStripTool(toolBar, strip, tool.id, CommandLabel(tool.id), tool.image, CommandHelp(tool.id));
}

wxMenuItem* CreateRecordingMenuItem(const wxImage& strip, wxMenu* menu) {
  const bool recording = Recording();
  const CommandText& face = RecordingCommand(recording);
  return NewItem(strip, menu, ID_TOGGLE_RECORDING, wxGetTranslation(face.label), wxGetTranslation(face.help),
                 RecordingImage(recording));
}

void UpdateRecordingMenuItem(const wxImage& strip, wxMenuBar* menuBar) {
  wxMenu* menu = nullptr;
  if (!menuBar || !menuBar->FindItem(ID_TOGGLE_RECORDING, &menu) || !menu) return;
  const wxMenuItemList& items = menu->GetMenuItems();
  std::size_t position = 0;
  for (auto node = items.GetFirst(); node && node->GetData()->GetId() != ID_TOGGLE_RECORDING; node = node->GetNext())
    ++position;
  menu->Destroy(ID_TOGGLE_RECORDING);
  ShowItemPicture(menu->Insert(position, CreateRecordingMenuItem(strip, menu)));
}

void InsertCurrentRecordingTool(const wxImage& strip, wxToolBar* toolBar) {
  const bool recording = Recording();
  const CommandText& face = RecordingCommand(recording);
  InsertRecordingTool(toolBar, strip, wxGetTranslation(face.label), RecordingImage(recording),
                      wxGetTranslation(face.help));
}

void ReplaceRecordingTool(const wxImage& strip, wxToolBar* toolBar) {
  if (!toolBar) return;
  toolBar->DeleteToolByPos(0);
  InsertCurrentRecordingTool(strip, toolBar);
  toolBar->Realize();
}
