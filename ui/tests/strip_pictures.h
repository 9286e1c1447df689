#pragma once
// Which picture of the image strip a menu item or tool shows, for the tests
// of the shared menus and of the windows that build them.
#include <dlfcn.h>

#include <ostream>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/menuitem.h>

#include "imagestrip.h"

namespace strip_test {

// Equal size, equal transparency, equal colour where opaque.
inline bool SamePixels(const wxImage& a, const wxImage& b) {
  if (a.GetSize() != b.GetSize()) return false;
  for (int y = 0; y < a.GetHeight(); ++y) {
    for (int x = 0; x < a.GetWidth(); ++x) {
      if (a.IsTransparent(x, y) != b.IsTransparent(x, y)) return false;
      if (!a.IsTransparent(x, y) &&
          (a.GetRed(x, y) != b.GetRed(x, y) || a.GetGreen(x, y) != b.GetGreen(x, y) || a.GetBlue(x, y) != b.GetBlue(x, y)))
        return false;
    }
  }
  return true;
}

inline wxImage StripCell(const wxImage& strip, int index) { return GetStripBitmap(strip, index).ConvertToImage(); }

// The strip image a bitmap shows: -1 for no bitmap, -2 for another picture.
inline int ImageOf(const wxBitmap& bitmap, const wxImage& strip) {
  if (!bitmap.IsOk()) return -1;
  const wxImage shown = bitmap.ConvertToImage();
  for (int i = 0; i < kStripImageCount; ++i) {
    if (SamePixels(shown, StripCell(strip, i))) return i;
  }
  return -2;
}

// The picture the toolkit gives a menu item appended to a menu: none, one
// shown only where the desktop's setting asks for menu pictures (GTK's own
// choice for stock items, from the icon theme), or one always shown.
enum class MenuPicture { kNone, kIfTheDesktopSaysSo, kAlways };
inline MenuPicture PictureOf(const wxMenuItem* item) {
  using TypeFn = unsigned long (*)();
  using IsAFn = int (*)(void*, unsigned long);
  using GetFn = void* (*)(void*);
  using FlagFn = int (*)(void*);
  const auto type = reinterpret_cast<TypeFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_type"));
  const auto isA = reinterpret_cast<IsAFn>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
  const auto image = reinterpret_cast<GetFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_image"));
  const auto always = reinterpret_cast<FlagFn>(dlsym(RTLD_DEFAULT, "gtk_image_menu_item_get_always_show_image"));
  void* widget = item->GetMenuItem();
  if (!type || !isA || !image || !always || !widget || !isA(widget, type()) || !image(widget))
    return MenuPicture::kNone;
  return always(widget) ? MenuPicture::kAlways : MenuPicture::kIfTheDesktopSaysSo;
}
inline std::ostream& operator<<(std::ostream& o, MenuPicture p) {
  static const char* const names[] = {"none", "if the desktop says so", "always"};
  return o << names[static_cast<int>(p)];
}

}  // namespace strip_test
