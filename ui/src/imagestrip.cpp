#include "imagestrip.h"

#include <wx/mstream.h>

#include "imagedata.h"

namespace {

std::unique_ptr<wxImage> DecodePng(const unsigned char* bytes, std::size_t size) {
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  auto image = std::make_unique<wxImage>();
  wxMemoryInputStream stream(bytes, size);
  if (!image->LoadFile(stream, wxBITMAP_TYPE_PNG)) image.reset();
  return image;
}

wxImage KeyImage(int width, int height) {
  wxImage image(width, height);
  const wxColour key = StripKeyColour();
  image.SetRGB(wxRect(0, 0, width, height), key.Red(), key.Green(), key.Blue());
  return image;
}

wxBitmap MaskedBitmap(const wxImage& image) {
  wxBitmap bitmap(image);
  bitmap.SetMask(new wxMask(bitmap, StripKeyColour()));
  return bitmap;
}

wxImage CutImage(const wxImage& strip, int index) {
  const wxRect cell(index * kStripImageSize, 0, kStripImageSize, kStripImageSize);
  if (index < 0 || index >= kStripImageCount || !strip.IsOk() ||
      !wxRect(0, 0, strip.GetWidth(), strip.GetHeight()).Contains(cell))
    return KeyImage(kStripImageSize, kStripImageSize);
  return strip.GetSubImage(cell);
}

wxIcon IconFrom(const wxBitmap& bitmap) {
  wxIcon icon;
  icon.CopyFromBitmap(bitmap);
  return icon;
}

}  // namespace

std::unique_ptr<wxImage> LoadImageStrip() {
  std::unique_ptr<wxImage> strip = DecodePng(kImageStripPng, kImageStripPngSize);
  if (!strip) strip = std::make_unique<wxImage>(KeyImage(kStripImageCount * kStripImageSize, kStripImageSize));
  return strip;
}

wxBitmap GetStripBitmap(const wxImage& strip, int index) { return MaskedBitmap(CutImage(strip, index)); }

wxIcon GetAppIcon(const wxImage& strip) { return IconFrom(GetStripBitmap(strip, IMG_PROGRAM)); }

wxIcon GetOverlayIcon(const wxImage& strip, int overlay) {
  wxImage composed = CutImage(strip, IMG_PROGRAM);
  const wxImage top = CutImage(strip, overlay);
  const wxColour key = StripKeyColour();
  for (int y = 0; y < kStripImageSize; ++y) {
    for (int x = 0; x < kStripImageSize; ++x) {
      const unsigned char r = top.GetRed(x, y), g = top.GetGreen(x, y), b = top.GetBlue(x, y);
      if (r != key.Red() || g != key.Green() || b != key.Blue()) composed.SetRGB(x, y, r, g, b);
    }
  }
  return IconFrom(MaskedBitmap(composed));
}

wxIconBundle GetAppIcons() {
  wxIconBundle icons;
  if (std::unique_ptr<wxImage> large = DecodePng(kAppIcon32Png, kAppIcon32PngSize))
    icons.AddIcon(IconFrom(MaskedBitmap(*large)));
  icons.AddIcon(GetAppIcon(*LoadImageStrip()));
  return icons;
}
