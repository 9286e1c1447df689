#include <cstring>
#include <memory>
#include <utility>

#include <wx/image.h>

#include "medium.h"
#include "pq/item.h"
#include "pq/itemtype.h"

namespace pq {
namespace {

bool PictureSizeAcceptable(std::uint64_t w, std::uint64_t h) {
  return w > 0 && h > 0 && w <= std::uint64_t(platform::kMaxBitmapSide) &&
         h <= std::uint64_t(platform::kMaxBitmapSide) && w * h <= kMaxPicturePixels;
}

}  // namespace

BitmapItem::~BitmapItem() { SetHandle(nullptr); }

void BitmapItem::SetHandle(HBITMAP bitmap) {
  if (m_bitmap != nullptr && m_bitmap != bitmap) DeleteObject(m_bitmap);
  m_bitmap = bitmap;
  m_width = m_height = m_depth = 0;
  BITMAP info;
  if (bitmap != nullptr && GetObjectW(bitmap, sizeof info, &info) != 0) {
    m_width = info.bmWidth;
    m_height = info.bmHeight;
    m_depth = info.bmBitsPixel;
  }
}

void BitmapItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(CF_BITMAP, TYMED_GDI);
  formats.emplace_back(CF_DIB, TYMED_HGLOBAL);
}

namespace {

// The receiver owns what it gets: hand out a copy so the item's own bitmap
// outlives the receiver's release.
HRESULT HandOutCopy(HBITMAP bitmap, STGMEDIUM* medium) {
  if (bitmap == nullptr) return E_FAIL;
  HBITMAP copy = static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0));
  if (copy == nullptr) return E_FAIL;
  medium->hBitmap = copy;
  return S_OK;
}

}  // namespace

HRESULT BitmapItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  if (request.tymed == TYMED_GDI) return HandOutCopy(m_bitmap, medium);
  if (m_bitmap == nullptr) return E_FAIL;
  std::vector<BYTE> dib;
  try {
    dib = platform::PackedDibFromBitmap(m_bitmap);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (dib.empty()) return E_FAIL;
  return medium::NewGlobal(dib.data(), dib.size(), &medium->hGlobal);
}

HRESULT BitmapItem::GetDataHere(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium)) return DV_E_FORMATETC;
  if (request.tymed == TYMED_GDI) return HandOutCopy(m_bitmap, medium);
  if (m_bitmap == nullptr) return E_FAIL;
  const std::size_t needed = platform::PackedDibSize(m_bitmap);
  if (needed == 0) return E_FAIL;
  const SIZE_T have = GlobalSize(medium->hGlobal);
  if (have < needed) return E_INVALIDARG;
  void* p = GlobalLock(medium->hGlobal);
  if (p == nullptr) return E_INVALIDARG;
  const bool written = platform::WritePackedDib(m_bitmap, p, have);
  GlobalUnlock(medium->hGlobal);
  return written ? S_OK : E_FAIL;
}

bool BitmapItem::Load(IDataObject* source) {
  std::vector<char> dib;
  if (!medium::ReadGlobal(source, CF_DIB, dib) || dib.empty()) return false;
  // Header, colour table and rows are checked against the block before any
  // pixel is read.
  platform::DibLayout layout;
  if (!platform::ParsePackedDib(dib.data(), dib.size(), &layout)) return false;
  if (!PictureSizeAcceptable(std::uint64_t(layout.width), std::uint64_t(layout.height))) return false;
  HBITMAP bitmap = platform::BitmapFromPackedDib(dib.data(), dib.size());
  if (bitmap == nullptr) return false;
  SetHandle(bitmap);
  m_depth = layout.bitCount;
  return true;
}

namespace {

wxImage ImageFromPixels(const platform::BitmapPixels& px) {
  if (px.width <= 0 || px.height <= 0) return wxImage();
  wxImage image(px.width, px.height, false);
  if (!image.IsOk()) return wxImage();
  if (px.hasAlpha) image.SetAlpha();
  unsigned char* rgb = image.GetData();
  unsigned char* alpha = px.hasAlpha ? image.GetAlpha() : nullptr;
  const std::size_t count = std::size_t(px.width) * std::size_t(px.height);
  for (std::size_t i = 0; i < count && i < px.argb.size(); ++i) {
    const std::uint32_t v = px.argb[i];
    rgb[3 * i] = static_cast<unsigned char>(v >> 16);
    rgb[3 * i + 1] = static_cast<unsigned char>(v >> 8);
    rgb[3 * i + 2] = static_cast<unsigned char>(v);
    if (alpha != nullptr) alpha[i] = static_cast<unsigned char>(v >> 24);
  }
  return image;
}

}  // namespace

wxImage BitmapItem::GetImage() const {
  platform::BitmapPixels px;
  if (m_bitmap == nullptr || !platform::ReadBitmapPixels(m_bitmap, &px)) return wxImage();
  return ImageFromPixels(px);
}

wxImage BitmapItem::GetImage(const wxRect& part) const {
  platform::BitmapPixels px;
  const RECT r{part.GetLeft(), part.GetTop(), part.GetRight() + 1, part.GetBottom() + 1};
  if (m_bitmap == nullptr || !platform::ReadBitmapPixels(m_bitmap, r, &px)) return wxImage();
  return ImageFromPixels(px);
}

bool BitmapItem::SetImage(const wxImage& source) {
  if (!source.IsOk()) {
    SetHandle(nullptr);
    return false;
  }
  // A mask colour (as a paletted PNG may bring) becomes transparency.
  wxImage image = source;
  if (image.HasMask() && !image.HasAlpha()) image.InitAlpha();
  platform::BitmapPixels px;
  px.width = image.GetWidth();
  px.height = image.GetHeight();
  px.hasAlpha = image.HasAlpha();
  const std::size_t count = std::size_t(px.width) * std::size_t(px.height);
  const unsigned char* rgb = image.GetData();
  const unsigned char* alpha = image.GetAlpha();
  px.argb.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t a = alpha != nullptr ? alpha[i] : 0xFF;
    px.argb[i] = (a << 24) | (std::uint32_t(rgb[3 * i]) << 16) |
                 (std::uint32_t(rgb[3 * i + 1]) << 8) | std::uint32_t(rgb[3 * i + 2]);
  }
  HBITMAP bitmap = platform::CreateBitmapFromPixels(px);
  SetHandle(bitmap);
  return bitmap != nullptr;
}

wxBitmap BitmapItem::GetBitmap() const {
  const wxImage image = GetImage();
  return image.IsOk() ? wxBitmap(image) : wxBitmap();
}

std::vector<BYTE> BitmapItem::EncodePng() const {
  return m_bitmap != nullptr ? platform::PngFromBitmap(m_bitmap) : std::vector<BYTE>();
}

void BitmapItem::DecodePng(const void* bytes, std::size_t size) {
  SetHandle(nullptr);  // the old picture goes before the new one is made
  // Straight into the bitmap's pixels; a picture over the budget is refused
  // from its header.
  SetHandle(platform::BitmapFromPng(bytes, size, kMaxPicturePixels));
}

void BitmapItem::DecodePng(cmn::mblock<char>&& png) {
  SetHandle(nullptr);
  auto kept = std::make_shared<cmn::mblock<char>>(std::move(png));
  const std::size_t size = kept->size();
  std::shared_ptr<const BYTE> bytes(kept, reinterpret_cast<const BYTE*>(kept->data()));
  SetHandle(platform::BitmapFromPngOnDemand(std::move(bytes), size, kMaxPicturePixels));
}

}  // namespace pq
