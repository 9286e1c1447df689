// Archive round trips of the data object and its items.
#include <gtest/gtest.h>

#include <sstream>

#include "cmn/iarchive.h"
#include "pq/dataobject.h"
#include "pq/itemtype.h"
#include "fakesource.h"

using namespace pqtest;

namespace {

std::string Save(const pq::DataObject& d) {
  std::ostringstream out;
  {
    cmn::oarchive ar(out, 0);
    ar << d;
  }
  return out.str();
}

pq::DataObject* Load(const std::string& text) {
  auto* d = new pq::DataObject;
  try {
    std::istringstream in(text);
    cmn::iarchive ar(in, 0);
    ar >> *d;
  } catch (...) {
    d->Release();
    throw;
  }
  return d;
}

HBITMAP TwoByTwo() {
  platform::BitmapPixels px;
  px.width = 2;
  px.height = 2;
  px.argb = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF123456u};
  return platform::CreateBitmapFromPixels(px);
}

template <class T>
T* ItemAt(pq::DataObject* d, std::size_t i) {
  return dynamic_cast<T*>(d->Items().at(i));
}

}  // namespace

TEST(DataObjectArchive, OneItemOfEveryClass) {
  Ref<pq::DataObject> d(new pq::DataObject);
  auto& items = d->Items();
  auto* bitmap = new pq::BitmapItem;
  bitmap->SetHandle(TwoByTwo());
  items.push_back(bitmap);
  auto* csv = new pq::CsvItem;
  csv->SetBlock("a,b\n", 4);
  items.push_back(csv);
  auto* embedded = new pq::EmbeddedObjectItem;
  embedded->SetBlock("\0\1\2\3 storage", 13);
  items.push_back(embedded);
  auto* metafile = new pq::EnhMetaFileItem;
  const std::vector<BYTE> emf = platform::MakeEnhMetaFile({0, 0, 100, 100});
  metafile->SetBlock(emf.data(), emf.size());
  items.push_back(metafile);
  auto* html = new pq::HtmlItem;
  html->SetBlock("<p>\0x", 5);
  items.push_back(html);
  auto* tag = new pq::PastiqTagItem;
  tag->SetTag({7, 8, 9});
  items.push_back(tag);
  items.push_back(new pq::LocaleItem);  // an empty block
  auto* rtf = new pq::RtfItem;
  rtf->SetBlock("{\\rtf1 x}", 9);
  items.push_back(rtf);
  items.push_back(new pq::TextItem("line 1\nline 2 \xC3\xA9 with blanks  "));

  const std::string text = Save(*d);
  for (const char* key : {"pq::BitmapItem", "pq::CsvItem", "pq::EmbeddedObjectItem",
                          "pq::EnhMetaFileItem", "pq::HtmlItem", "pq::PastiqTagItem",
                          "pq::LocaleItem", "pq::RtfItem", "pq::TextItem"})
    EXPECT_NE(text.find(key), std::string::npos) << key;

  Ref<pq::DataObject> back(Load(text));
  ASSERT_EQ(back->Items().size(), 9u);
  auto* b = ItemAt<pq::BitmapItem>(back.get(), 0);
  ASSERT_NE(b, nullptr);
  ASSERT_FALSE(b->IsEmpty());
  platform::BitmapPixels px;
  ASSERT_TRUE(platform::ReadBitmapPixels(b->GetHandle(), &px));
  EXPECT_EQ(px.width, 2);
  EXPECT_EQ(px.height, 2);
  EXPECT_EQ(px.argb[3] & 0xFFFFFF, 0x123456u);
  EXPECT_EQ(ItemAt<pq::CsvItem>(back.get(), 1)->GetBlock(), csv->GetBlock());
  EXPECT_EQ(ItemAt<pq::EmbeddedObjectItem>(back.get(), 2)->GetBlock(), embedded->GetBlock());
  EXPECT_EQ(ItemAt<pq::EnhMetaFileItem>(back.get(), 3)->GetBlock(), metafile->GetBlock());
  EXPECT_EQ(ItemAt<pq::HtmlItem>(back.get(), 4)->GetBlock(), html->GetBlock());
  pq::PastiqTagItem::Tag t;
  ASSERT_TRUE(ItemAt<pq::PastiqTagItem>(back.get(), 5)->GetTag(t));
  EXPECT_EQ(t.record, 7u);
  EXPECT_EQ(t.list, 8u);
  EXPECT_EQ(t.process, 9u);
  EXPECT_EQ(ItemAt<pq::LocaleItem>(back.get(), 6)->GetBlock().size(), 0u);
  EXPECT_EQ(ItemAt<pq::RtfItem>(back.get(), 7)->GetBlock(), rtf->GetBlock());
  EXPECT_EQ(ItemAt<pq::TextItem>(back.get(), 8)->GetText(), "line 1\nline 2 \xC3\xA9 with blanks  ");
  EXPECT_EQ(Save(*back), text) << "a second save gives the same text";
}

TEST(DataObjectArchive, LoadReplacesItems) {
  Ref<pq::DataObject> src(new pq::DataObject);
  src->Items().push_back(new pq::TextItem("new"));
  const std::string text = Save(*src);
  Ref<pq::DataObject> d(new pq::DataObject);
  d->Items().push_back(new pq::TextItem("old"));
  d->Items().push_back(new pq::TextItem("old 2"));
  std::istringstream in(text);
  cmn::iarchive ar(in, 0);
  ar >> *d;
  ASSERT_EQ(d->Items().size(), 1u);
  EXPECT_EQ(ItemAt<pq::TextItem>(d.get(), 0)->GetText(), "new");
}

TEST(DataObjectArchive, DamagedArchivesThrow) {
  Ref<pq::DataObject> src(new pq::DataObject);
  src->Items().push_back(new pq::TextItem("abc"));
  src->Items().push_back(new pq::HtmlItem);
  const std::string good = Save(*src);
  // Archive header, the object's and the vector's class information.
  const std::string head = "22 serialization::archive 18 0 0 0 0 ";
  ASSERT_EQ(good.compare(0, head.size(), head), 0) << good;
  const std::string bad[] = {
      "",
      good.substr(0, good.size() / 2),
      head + "4000000000 0",                                      // a huge item count
      head + "1 0 2 13 pq::NoSuchItem 1 0\n0 3 abc",              // an unknown class
      head + "1 0 2 12 pq::TextItem 1 0\n0 999999999 abc",        // a string that lies
      head + "1 0 -1",                                            // a null item
      head + "1 0 5 12 pq::TextItem 1 0\n0 3 abc",               // a class id out of order
      head + "2 0 2 12 pq::TextItem 1 0\n0 3 abc 3 12 pq::TextItem 1 0\n1 3 def",  // a class twice
      head + "1 0 1\n0 3 abc",                                   // the vector's class for an item
  };
  for (const std::string& text : bad) {
    EXPECT_ANY_THROW({
      pq::DataObject* d = Load(text);
      d->Release();
    }) << text;
  }
  Ref<pq::DataObject> back(Load(good));
  EXPECT_EQ(back->Items().size(), 2u);
}

TEST(DataObjectArchive, AnItemNamedTwiceIsRefused) {
  // An archive may name an object it already read instead of a new one; two
  // slots holding one item would free it twice.
  Ref<pq::DataObject> src(new pq::DataObject);
  src->Items().push_back(new pq::TextItem("abc"));
  src->Items().push_back(new pq::TextItem("def"));
  src->Items().push_back(new pq::HtmlItem);
  const std::string good = Save(*src);
  const std::string second = " 2\n1 3 def";  // the class, new object 1, its text
  const std::size_t at = good.find(second);
  ASSERT_NE(at, std::string::npos) << good;
  const std::string tail = good.substr(at + second.size());
  const std::string bad[] = {
      good.substr(0, at) + " 2\n0" + tail,  // the second slot names object 0
      good.substr(0, at) + " 2\n0",         // and then the archive ends
  };
  for (const std::string& text : bad) {
    EXPECT_ANY_THROW({
      pq::DataObject* d = Load(text);
      d->Release();
    }) << text;
  }
}

TEST(BitmapArchive, UndecodablePictureLoadsEmpty) {
  // A bitmap body whose bytes are no PNG.
  pq::BitmapItem probe;
  probe.DecodePng("not a png at all, really not", 28);
  EXPECT_TRUE(probe.IsEmpty());
  // A PNG header announcing a huge picture is not decoded at all.
  const unsigned char huge[33] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                                  'I', 'H', 'D', 'R', 0, 1, 0, 0, 0, 1, 0, 0, 8, 6, 0, 0, 0};
  probe.DecodePng(huge, sizeof huge);
  EXPECT_TRUE(probe.IsEmpty());

  Ref<pq::DataObject> d(new pq::DataObject);
  d->Items().push_back(new pq::BitmapItem);  // no picture: count 0
  Ref<pq::DataObject> back(Load(Save(*d)));
  ASSERT_EQ(back->Items().size(), 1u);
  EXPECT_TRUE(ItemAt<pq::BitmapItem>(back.get(), 0)->IsEmpty());
}
