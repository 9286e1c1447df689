// The item-type registry: order, lookups, sorting and the two switches.
#include <gtest/gtest.h>

#include <memory>

#include "pq/item.h"
#include "pq/itemtype.h"
#include "settings.h"

namespace {

struct Row {
  int id;
  const char* name;
  CLIPFORMAT format;
  const std::type_info* type;
};

std::vector<Row> RegistrationOrder() {
  return {
      {1005, "Bitmap Picture", CF_DIB, &typeid(pq::BitmapItem)},
      {1008, "Comma-Separated Values (CSV)", pq::CfCsv(), &typeid(pq::CsvItem)},
      {1007, "Embedded Object (experimental support)", pq::CfEmbeddedObject(),
       &typeid(pq::EmbeddedObjectItem)},
      {1006, "Metafile Picture", CF_ENHMETAFILE, &typeid(pq::EnhMetaFileItem)},
      {1004, "Html Text", pq::CfHtml(), &typeid(pq::HtmlItem)},
      {1000, "Pastiq Tag", pq::CfPastiqTag(), &typeid(pq::PastiqTagItem)},
      {1002, "Locale", CF_LOCALE, &typeid(pq::LocaleItem)},
      {1003, "Rich Text Format (RTF)", pq::CfRtf(), &typeid(pq::RtfItem)},
      {1001, "Plain Text", CF_UNICODETEXT, &typeid(pq::TextItem)},
  };
}

void ExpectOrder(const std::vector<Row>& rows) {
  const auto& types = pq::ItemType::GetItemTypes();
  ASSERT_EQ(types.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(types[i]->GetId(), rows[i].id) << i;
    EXPECT_EQ(types[i]->GetName(), rows[i].name);
    EXPECT_EQ(types[i]->GetFormat(), rows[i].format);
    EXPECT_TRUE(types[i]->GetTypeInfo() == *rows[i].type);
    std::unique_ptr<pq::Item> item(types[i]->CreateItem());
    EXPECT_TRUE(typeid(*item) == *rows[i].type) << rows[i].name;
  }
}

// Settings without a single option, for one test.
class WithOptions : public ::testing::Test {
 protected:
  testing_settings::ScopedSettings settings{testing_settings::kNoOptions};
  cmn::option<int>& store = settings.options();
};

// The registry as it was, put back after a test that sorts it.
class ItemTypeOrder : public ::testing::Test {
 protected:
  ~ItemTypeOrder() override { pq::ItemType::GetItemTypes() = registered; }
  const std::vector<pq::ItemType*> registered = pq::ItemType::GetItemTypes();
};

}  // namespace

// The only test that sorts; the registry is in registration order until then.
TEST_F(ItemTypeOrder, RegistrationOrderThenIdOrder) {
  std::vector<Row> rows = RegistrationOrder();
  ExpectOrder(rows);
  EXPECT_EQ(pq::ItemType::GetItemTypes().front()->GetId(), 1005) << "bitmap first";
  pq::ItemType::SortById();
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
  ExpectOrder(rows);
  EXPECT_EQ(pq::ItemType::GetItemTypes().front()->GetId(), 1000);
  EXPECT_EQ(pq::ItemType::GetItemTypes().back()->GetId(), 1008);
  pq::ItemType::SortById();  // sorting again changes nothing
  ExpectOrder(rows);
}

TEST(ItemTypeRegistry, Lookups) {
  for (const Row& r : RegistrationOrder()) {
    ASSERT_NE(pq::ItemType::FindById(r.id), nullptr);
    EXPECT_EQ(pq::ItemType::FindByFormat(r.format), pq::ItemType::FindById(r.id));
    EXPECT_EQ(pq::ItemType::FindByTypeInfo(*r.type), pq::ItemType::FindById(r.id));
  }
  // Only the folded formats are known.
  for (CLIPFORMAT f : std::vector<CLIPFORMAT>{CF_TEXT, CF_BITMAP, CF_METAFILEPICT, 0, 0xFFFF})
    EXPECT_EQ(pq::ItemType::FindByFormat(f), nullptr) << f;
  EXPECT_EQ(pq::ItemType::FindById(999), nullptr);
  EXPECT_EQ(pq::ItemType::FindById(1009), nullptr);
  EXPECT_EQ(pq::ItemType::FindByTypeInfo(typeid(pq::SimpleItem)), nullptr);
  EXPECT_EQ(pq::ItemType::FindByTypeInfo(typeid(int)), nullptr);
  const auto& types = pq::ItemType::GetItemTypes();
  for (std::size_t i = 0; i < types.size(); ++i) EXPECT_EQ(pq::ItemType::IndexOf(types[i]), i);
  EXPECT_EQ(pq::ItemType::IndexOf(nullptr), types.size());
}

TEST(ItemTypeRegistry, NamedFormatsAreRegistered) {
  const CLIPFORMAT formats[] = {pq::CfHtml(), pq::CfRtf(), pq::CfCsv(), pq::CfEmbeddedObject(),
                                pq::CfPastiqTag()};
  const wchar_t* names[] = {L"HTML Format", L"Rich Text Format", L"Csv", L"Embedded Object",
                            L"Pastiq Tag"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_GE(formats[i], 0xC000);
    EXPECT_EQ(formats[i], RegisterClipboardFormatW(names[i])) << "stable for the process";
  }
  EXPECT_EQ(pq::WmTaskbarCreated(), RegisterWindowMessageW(L"TaskbarCreated"));
}

TEST_F(WithOptions, RecordSwitch) {
  // Absent options record nothing, the tag included.
  for (const Row& r : RegistrationOrder()) EXPECT_FALSE(pq::ItemType::IsRecordEnabled(r.format));
  store.Set(1001, true);
  store.Set(1005, false);
  EXPECT_TRUE(pq::ItemType::IsRecordEnabled(CF_UNICODETEXT));
  EXPECT_FALSE(pq::ItemType::IsRecordEnabled(CF_DIB));
  EXPECT_FALSE(pq::ItemType::IsRecordEnabled(CF_TEXT)) << "unknown format";
  store.map[1002].text = "junk";
  EXPECT_FALSE(pq::ItemType::IsRecordEnabled(CF_LOCALE)) << "not a bool: the default";
}

TEST_F(WithOptions, PasteSwitch) {
  for (const Row& r : RegistrationOrder()) EXPECT_TRUE(pq::ItemType::IsPasteEnabled(r.format));
  EXPECT_FALSE(pq::ItemType::IsPasteEnabled(CF_TEXT)) << "no type serves it";
  pq::ItemType& html = *pq::ItemType::FindById(1004);
  pq::ItemType::SetPasteEnabled(html, false);
  bool stored = false;
  ASSERT_TRUE(store.Get(2004, stored));
  EXPECT_TRUE(stored) << "the option holds \"not pasted\"";
  EXPECT_FALSE(pq::ItemType::IsPasteEnabled(pq::CfHtml()));
  pq::ItemType::SetPasteEnabled(html, true);
  EXPECT_TRUE(pq::ItemType::IsPasteEnabled(pq::CfHtml()));
  EXPECT_TRUE(store.Get(2004, stored));
  EXPECT_FALSE(stored);
}

TEST(ItemTypeRegistry, NoSettingsMeansDefaults) {
  SetAppConfig(nullptr);
  EXPECT_FALSE(pq::ItemType::IsRecordEnabled(CF_UNICODETEXT));
  EXPECT_TRUE(pq::ItemType::IsPasteEnabled(CF_UNICODETEXT));
  pq::ItemType::SetPasteEnabled(*pq::ItemType::FindById(1001), false);  // nothing to store into
  EXPECT_TRUE(pq::ItemType::IsPasteEnabled(CF_UNICODETEXT));
}

TEST(ItemTypeRegistry, DisplayNameIsTranslatedWhenAsked) {
  // No catalog is loaded: the display name is the name itself.
  EXPECT_EQ(pq::ItemType::FindById(1001)->GetDisplayName(), "Plain Text");
}
