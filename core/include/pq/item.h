#pragma once
// Clipboard items: the data of one clipboard format inside a clip. An item
// says which (format, medium) pairs it renders, renders them into a storage
// medium, loads itself from any data object and archives itself through a
// pq::Item pointer under its class's export key.
//
// Clipboard data belongs to its producer and is untrusted: loads copy before
// they change anything, bound every size, and leave the item as it was when
// they fail.
#include <cstdint>
#include <string>
#include <vector>

#include <boost/serialization/access.hpp>
#include <boost/serialization/assume_abstract.hpp>
#include <boost/serialization/export.hpp>
#include <boost/serialization/split_member.hpp>

#include <wx/bitmap.h>
#include <wx/image.h>

#include "cmn/mblock.h"
#include "pq/itemformat.h"
#include "pq/win.h"

namespace pq {

// The largest clipboard block (and so the largest item) a load accepts: what
// an archive can hold, so that every recorded item can be saved and read back.
constexpr std::uint64_t kMaxClipboardBlock = cmn::kMaxBlockBytes;
static_assert(kMaxClipboardBlock <= 0xFFFFFFFFull, "item sizes fit 32 bits");

// The largest picture a bitmap item decodes or loads, in pixels: a frame of
// an 8K screen fits. A larger one would take gigabytes to decode from a few
// kilobytes of PNG; it is refused before any pixel is decoded.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t(1) << 25;

class Item {
 public:
  virtual ~Item();
  // Appends the pairs the item offers, in its own order.
  virtual void EnumFormats(std::vector<ItemFormat>& formats) const = 0;
  // Renders into a new medium that the caller owns.
  virtual HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) = 0;
  // Renders into the medium that the caller supplies.
  virtual HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) = 0;
  // Replaces the item's data with its format read from `source`; false (and
  // the item unchanged) when nothing was read.
  virtual bool Load(IDataObject* source) = 0;

  // True when EnumFormats offers exactly this pair.
  bool MatchesFormat(const ItemFormat& request) const;
  // The start every render shares: no release object, the requested medium
  // type copied; false (the caller returns DV_E_FORMATETC) when not offered.
  bool BeginRender(const ItemFormat& request, STGMEDIUM* medium) const;

 protected:
  Item() = default;
  Item(const Item&) = default;
  Item& operator=(const Item&) = default;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive&, const unsigned int) {}
};

// An item whose data is one plain global memory block.
class SimpleItem : public Item {
 public:
  void EnumFormats(std::vector<ItemFormat>& formats) const override;
  HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) override;
  bool Load(IDataObject* source) override;
  virtual CLIPFORMAT GetFormat() const = 0;

  const cmn::mblock<char>& GetBlock() const { return m_data; }
  void SetBlock(const void* bytes, std::size_t size);

 protected:
  SimpleItem() = default;
  cmn::mblock<char> m_data;

 private:
  friend class boost::serialization::access;
  template <class Archive>
  void save(Archive& ar, const unsigned int) const;
  template <class Archive>
  void load(Archive& ar, const unsigned int);
  BOOST_SERIALIZATION_SPLIT_MEMBER()
};

class CsvItem : public SimpleItem {
 public:
  CLIPFORMAT GetFormat() const override;
};

class HtmlItem : public SimpleItem {
 public:
  CLIPFORMAT GetFormat() const override;
};

class LocaleItem : public SimpleItem {
 public:
  CLIPFORMAT GetFormat() const override;
};

class RtfItem : public SimpleItem {
 public:
  CLIPFORMAT GetFormat() const override;
};

// The tag that marks data the program put on the clipboard itself: 12 bytes,
// three little-endian 32-bit words {record, source list, process id}. The two
// identities are small per-process ids (see pq/tagid.h), 0 for none.
class PastiqTagItem : public SimpleItem {
 public:
  static constexpr std::size_t kSize = 12;
  struct Tag {
    std::uint32_t record = 0;
    std::uint32_t list = 0;
    std::uint32_t process = 0;
  };

  // {0, 0, current process id}.
  PastiqTagItem();
  CLIPFORMAT GetFormat() const override;

  // Writes the three words.
  void SetTag(const Tag& tag);
  // Names a record and its source list (either may be null) of this process.
  void SetIdentities(const void* record, const void* list);
  // Reads a tag from raw bytes; false when fewer than kSize bytes are given
  // (a producer's block may be rounded up, so more is accepted).
  static bool Decode(const void* bytes, std::size_t size, Tag& tag);
  // Reads the tag that `source` carries; false when it carries none.
  static bool Read(IDataObject* source, Tag& tag);
  // The item's own tag; false when its block is not a tag.
  bool GetTag(Tag& tag) const;
  // True when the tag was made by this process and names a record and a list.
  static bool IsOwnAndComplete(const Tag& tag);
};

// Plain text, kept as UTF-8. Offers CF_UNICODETEXT (wide characters of the
// platform, NUL-terminated) and CF_TEXT (the ANSI code page, NUL-terminated).
class TextItem : public Item {
 public:
  TextItem() = default;
  explicit TextItem(std::string text) : m_text(std::move(text)) {}

  void EnumFormats(std::vector<ItemFormat>& formats) const override;
  HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) override;
  bool Load(IDataObject* source) override;

  const std::string& GetText() const { return m_text; }
  std::string& Text() { return m_text; }
  void SetText(std::string text) { m_text = std::move(text); }

  // The bytes rendered for CF_UNICODETEXT or CF_TEXT (terminator included).
  std::vector<char> Render(CLIPFORMAT format) const;

 private:
  bool Keep(std::string text);
  std::string m_text;

  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int);
};

// A picture. Holds the platform's device-dependent bitmap (null when empty);
// a toolkit bitmap is made only when a view asks, so the item needs no display.
class BitmapItem : public Item {
 public:
  BitmapItem() = default;
  ~BitmapItem() override;
  BitmapItem(const BitmapItem&) = delete;
  BitmapItem& operator=(const BitmapItem&) = delete;

  void EnumFormats(std::vector<ItemFormat>& formats) const override;
  HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) override;
  bool Load(IDataObject* source) override;

  bool IsEmpty() const { return m_bitmap == nullptr; }
  HBITMAP GetHandle() const { return m_bitmap; }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  int GetDepth() const { return m_depth; }
  // Takes ownership of `bitmap` (null empties the item).
  void SetHandle(HBITMAP bitmap);
  // The picture as an image (invalid when empty); needs no display.
  wxImage GetImage() const;
  // Only `part` of it (clipped to the picture; invalid when nothing of `part`
  // lies on it): what a view of a large picture draws.
  wxImage GetImage(const wxRect& part) const;
  // Replaces the picture with `image` (an invalid image empties the item).
  bool SetImage(const wxImage& image);
  // A toolkit bitmap for views (needs the toolkit's display).
  wxBitmap GetBitmap() const;

  // The picture as a standard PNG file; empty when there is none or encoding
  // fails.
  std::vector<BYTE> EncodePng() const;
  // Replaces the picture with a decoded PNG; anything that does not decode
  // empties the item. Never shows a message.
  void DecodePng(const void* bytes, std::size_t size);
  // The same with bytes the item may keep: the rows of a picture without
  // alpha are decoded only when first read, so showing the top of a large
  // picture decodes no more than that (platform's BitmapFromPngOnDemand).
  void DecodePng(cmn::mblock<char>&& png);

 private:
  HBITMAP m_bitmap = nullptr;
  int m_width = 0;
  int m_height = 0;
  int m_depth = 0;

  friend class boost::serialization::access;
  template <class Archive>
  void save(Archive& ar, const unsigned int) const;
  template <class Archive>
  void load(Archive& ar, const unsigned int);
  BOOST_SERIALIZATION_SPLIT_MEMBER()
};

// The bytes of an enhanced metafile.
class EnhMetaFileItem : public Item {
 public:
  void EnumFormats(std::vector<ItemFormat>& formats) const override;
  HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) override;
  // Not offered: always E_NOTIMPL, the medium untouched.
  HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) override;
  bool Load(IDataObject* source) override;

  const cmn::mblock<char>& GetBlock() const { return m_data; }
  void SetBlock(const void* bytes, std::size_t size);

 private:
  cmn::mblock<char> m_data;

  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int);
};

// The bytes of a structured storage holding an embedded object.
class EmbeddedObjectItem : public Item {
 public:
  void EnumFormats(std::vector<ItemFormat>& formats) const override;
  HRESULT GetData(const ItemFormat& request, STGMEDIUM* medium) override;
  HRESULT GetDataHere(const ItemFormat& request, STGMEDIUM* medium) override;
  bool Load(IDataObject* source) override;

  const cmn::mblock<char>& GetBlock() const { return m_data; }
  void SetBlock(const void* bytes, std::size_t size);

 private:
  // Opens a storage over a copy of the item's bytes.
  HRESULT OpenStorage(IStorage** storage) const;
  cmn::mblock<char> m_data;

  friend class boost::serialization::access;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int);
};

}  // namespace pq

BOOST_SERIALIZATION_ASSUME_ABSTRACT(pq::Item)
BOOST_SERIALIZATION_ASSUME_ABSTRACT(pq::SimpleItem)
BOOST_CLASS_EXPORT_KEY2(pq::BitmapItem, "pq::BitmapItem")
BOOST_CLASS_EXPORT_KEY2(pq::CsvItem, "pq::CsvItem")
BOOST_CLASS_EXPORT_KEY2(pq::EmbeddedObjectItem, "pq::EmbeddedObjectItem")
BOOST_CLASS_EXPORT_KEY2(pq::EnhMetaFileItem, "pq::EnhMetaFileItem")
BOOST_CLASS_EXPORT_KEY2(pq::HtmlItem, "pq::HtmlItem")
BOOST_CLASS_EXPORT_KEY2(pq::PastiqTagItem, "pq::PastiqTagItem")
BOOST_CLASS_EXPORT_KEY2(pq::LocaleItem, "pq::LocaleItem")
BOOST_CLASS_EXPORT_KEY2(pq::RtfItem, "pq::RtfItem")
BOOST_CLASS_EXPORT_KEY2(pq::TextItem, "pq::TextItem")
