// Archive bodies of the items and the data object, and the export keys that
// name each item class in an archive. Everything is instantiated here for the
// archives the program writes (cmn::oarchive) and reads (cmn::iarchive).
// First, so that the exports below also register the bounded reader.
#include "cmn/iarchive.h"

#include <unordered_set>

#include <boost/serialization/nvp.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <boost/serialization/void_cast.hpp>

#include "pq/dataobject.h"
#include "pq/item.h"

namespace pq {
namespace {

// The picture's nested object; its body is the image object (one byte block
// holding a PNG file).
struct PictureBody {
  cmn::mblock<char> image;
  template <class Archive>
  void serialize(Archive& ar, const unsigned int) {
    ar& boost::serialization::make_nvp("image", image);
  }
};

template <class Derived>
void RegisterItemClass() {
  // The base contributes no data; only the relation is recorded so that a
  // pq::Item pointer can be converted.
  boost::serialization::void_cast_register<Derived, Item>(
      static_cast<Derived*>(nullptr), static_cast<Item*>(nullptr));
}

}  // namespace

template <class Archive>
void SimpleItem::save(Archive& ar, const unsigned int) const {
  ar << boost::serialization::make_nvp("data", m_data);
}

template <class Archive>
void SimpleItem::load(Archive& ar, const unsigned int) {
  ar >> boost::serialization::make_nvp("data", m_data);
}

template <class Archive>
void TextItem::serialize(Archive& ar, const unsigned int) {
  RegisterItemClass<TextItem>();
  ar& boost::serialization::make_nvp("text", m_text);
}

template <class Archive>
void EnhMetaFileItem::serialize(Archive& ar, const unsigned int) {
  RegisterItemClass<EnhMetaFileItem>();
  ar& boost::serialization::make_nvp("data", m_data);
}

template <class Archive>
void EmbeddedObjectItem::serialize(Archive& ar, const unsigned int) {
  RegisterItemClass<EmbeddedObjectItem>();
  ar& boost::serialization::make_nvp("data", m_data);
}

template <class Archive>
void BitmapItem::save(Archive& ar, const unsigned int) const {
  RegisterItemClass<BitmapItem>();
  PictureBody body;
  const std::vector<BYTE> png = EncodePng();
  // A picture too large for a byte block is saved as none, like one that
  // does not encode.
  if (!png.empty() && png.size() <= cmn::kMaxBlockBytes)
    body.image.assign(reinterpret_cast<const char*>(png.data()), png.size());
  ar << boost::serialization::make_nvp("bitmap", body);
}

template <class Archive>
void BitmapItem::load(Archive& ar, const unsigned int) {
  RegisterItemClass<BitmapItem>();
  PictureBody body;
  ar >> boost::serialization::make_nvp("bitmap", body);
  if (body.image.size() != 0) DecodePng(std::move(body.image));
}

template <class Archive>
void DataObject::save(Archive& ar, const unsigned int) const {
  ar << boost::serialization::make_nvp("items", m_items);
}

namespace {

// Deletes each item once: a damaged archive may name one object in two slots.
void DeleteEach(std::vector<Item*>& items) {
  std::unordered_set<Item*> seen;
  for (Item* item : items)
    if (seen.insert(item).second) delete item;
  items.clear();
}

}  // namespace

template <class Archive>
void DataObject::load(Archive& ar, const unsigned int) {
  // The bounded reader limits the count; a half-read vector is cleaned up.
  std::vector<Item*> fresh;
  try {
    ar >> boost::serialization::make_nvp("items", fresh);
    std::unordered_set<const Item*> seen;
    for (Item* item : fresh) {
      if (item == nullptr)
        boost::serialization::throw_exception(boost::archive::archive_exception(
            boost::archive::archive_exception::other_exception, "missing item"));
      // Our archives never name an item twice; the object owns each slot.
      if (!seen.insert(item).second)
        boost::serialization::throw_exception(boost::archive::archive_exception(
            boost::archive::archive_exception::other_exception, "item named twice"));
    }
  } catch (...) {
    DeleteEach(fresh);
    throw;
  }
  for (Item* item : m_items) delete item;
  m_items.swap(fresh);
}

// The simple classes share SimpleItem's body; each names its own relation.
#define PQ_SIMPLE_ITEM_SERIALIZE(T)                                        \
  template <class Archive>                                                 \
  void serialize(Archive& ar, T& item, const unsigned int version) {       \
    RegisterItemClass<T>();                                                \
    boost::serialization::split_member(ar, static_cast<SimpleItem&>(item), \
                                       version);                           \
  }
PQ_SIMPLE_ITEM_SERIALIZE(CsvItem)
PQ_SIMPLE_ITEM_SERIALIZE(HtmlItem)
PQ_SIMPLE_ITEM_SERIALIZE(LocaleItem)
PQ_SIMPLE_ITEM_SERIALIZE(RtfItem)
PQ_SIMPLE_ITEM_SERIALIZE(PastiqTagItem)
#undef PQ_SIMPLE_ITEM_SERIALIZE

template void DataObject::save(boost::archive::text_oarchive&, const unsigned int) const;
template void DataObject::load(cmn::iarchive&, const unsigned int);

}  // namespace pq

BOOST_CLASS_EXPORT_IMPLEMENT(pq::BitmapItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::CsvItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::EmbeddedObjectItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::EnhMetaFileItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::HtmlItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::PastiqTagItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::LocaleItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::RtfItem)
BOOST_CLASS_EXPORT_IMPLEMENT(pq::TextItem)
