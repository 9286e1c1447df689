#pragma once
// The image strip: every small picture of the program (menu items, tools,
// the taskbar icon and its frames) is cut from one embedded PNG of 30
// images of 16 x 16 side by side. Dark cyan is the colour key: it becomes
// transparent when an image is cut. Every user decodes the strip for the
// length of one operation; nothing keeps a decoded copy.
#include <memory>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/icon.h>
#include <wx/iconbndl.h>
#include <wx/image.h>

// The strip's images by index (ui/images/strip).
enum StripImage : int {
  IMG_PROGRAM = 0,
  IMG_START_RECORDING = 1,
  IMG_PAUSE_RECORDING = 2,
  IMG_COPY = 3,
  IMG_PASTE = 4,
  IMG_DELETE = 5,
  IMG_DELETE_ALL = 6,
  IMG_OPTIONS = 7,
  IMG_PADLOCK = 8,  // not used
  IMG_GLOBE = 9,    // not used
  IMG_MANUAL = 10,
  IMG_CLOSE_FLOATING = 11,
  IMG_OPEN_FLOATING = 12,
  IMG_NEW_VERSION = 13,      // overlay
  IMG_ANIMATION_FIRST = 14,  // overlays 14 to 20: the taskbar icon's frames
  IMG_ANIMATION_LAST = 20,
  IMG_ERROR = 21,        // not used
  IMG_ARCS_FIRST = 22,   // 22 to 26: one to five arcs, not used
  IMG_MULTIPLE_PASTE = 27,
  IMG_PASTE_ALL = 28,
  IMG_MULTIPLE_DELETE = 29,
};
constexpr int kStripImageCount = 30;
constexpr int kStripImageSize = 16;

// The colour key (0, 128, 128).
inline wxColour StripKeyColour() { return wxColour(0, 128, 128); }

// Decodes the embedded strip (480 x 16). Never null: should the PNG not
// decode, the strip is all key colour, so every image cut from it is empty.
std::unique_ptr<wxImage> LoadImageStrip();

// Image `index` (0 to 29) as a bitmap with the key masked out; an index
// outside the strip gives a fully transparent bitmap.
wxBitmap GetStripBitmap(const wxImage& strip, int index);
// The program icon: image 0.
wxIcon GetAppIcon(const wxImage& strip);
// Image 0 with image `overlay` drawn over it where the overlay is not key
// coloured; transparent where both are.
wxIcon GetOverlayIcon(const wxImage& strip, int overlay);
// The program icon at 32 x 32 and 16 x 16, for the frames' icon bundles.
wxIconBundle GetAppIcons();
