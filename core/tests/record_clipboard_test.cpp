// Capture from the simulated desktop's clipboard, as another application
// leaves it.
#include <gtest/gtest.h>

#include "cmn/option.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "settings.h"
#include "sim_app.h"
#include "pq/record.h"
#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"

namespace {

namespace sim = platform::sim;

class ClipboardCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    editor = testing_sim::AddApp(L"/usr/bin/editor", L"EditorFrame").frame;
    for (int id : {1001, 1002, 1003, 1004, 1008}) store.Set(id, true);
  }

  // The record's items as its data object gives them back (tag left out).
  static std::vector<std::string> Items(const pq::Record& r) {
    std::vector<std::string> out;
    pq::DataObject* d = r.CreateDataObject(nullptr);
    if (!d) return {"<null>"};
    for (const pq::Item* item : d->Items()) {
      if (auto* t = dynamic_cast<const pq::TextItem*>(item)) out.push_back("text " + t->GetText());
      else if (typeid(*item) == typeid(pq::HtmlItem)) out.push_back("html");
      else if (typeid(*item) == typeid(pq::RtfItem)) out.push_back("rtf");
      else if (typeid(*item) == typeid(pq::BitmapItem)) out.push_back("bitmap");
      else if (typeid(*item) == typeid(pq::EnhMetaFileItem)) out.push_back("metafile");
    }
    d->Release();
    return out;
  }

  HWND editor = nullptr;
  testing_settings::ScopedSettings settings{testing_settings::kNoOptions};
  cmn::option<int>& store = settings.options();
  pq::Record record;
};

TEST_F(ClipboardCaptureTest, AnsiTextAndItsSynthesisedWideFormYieldOneTextItem) {
  ASSERT_TRUE(sim::PutClipboard(editor, {sim::AnsiText("caf\xE9"), sim::Named(L"HTML Format", "<i>x</i>"),
                                         sim::Named(L"Rich Text Format", "{\\rtf1}")}));
  ASSERT_TRUE(record.LoadFromClipboard());
  EXPECT_EQ(record.text, "caf\xC3\xA9");
  EXPECT_EQ(record.textIndex, 0);
  EXPECT_EQ(Items(record), (std::vector<std::string>{"text caf\xC3\xA9", "html", "rtf"}));
}

TEST_F(ClipboardCaptureTest, PicturesOfBothFormsYieldOneItemEach) {
  store.Set(1005, true);
  store.Set(1006, true);
  const DWORD pixel = 0x00336699;
  HBITMAP bitmap = CreateBitmap(1, 1, 1, 32, &pixel);
  const std::vector<BYTE> dib = platform::PackedDibFromBitmap(bitmap);
  DeleteObject(bitmap);
  const std::vector<BYTE> emf = platform::MakeEnhMetaFile({0, 0, 2540, 2540});
  // The clipboard adds CF_BITMAP to a DIB and CF_METAFILEPICT to an
  // enhanced metafile; each picture is kept once, where it first stood.
  ASSERT_TRUE(sim::PutClipboard(editor, {sim::Dib(dib), sim::EnhMetaFile(emf), sim::UnicodeText(L"t")}));
  ASSERT_TRUE(record.LoadFromClipboard());
  EXPECT_EQ(Items(record), (std::vector<std::string>{"bitmap", "metafile", "text t"}));
  EXPECT_EQ(record.textIndex, 2);
}

TEST_F(ClipboardCaptureTest, OurOwnDataIsNotRecorded) {
  ASSERT_TRUE(sim::PutClipboard(editor, {sim::UnicodeText(L"mine"), sim::Named(L"Pastiq Tag", std::string(12, '\0'))}));
  EXPECT_FALSE(record.LoadFromClipboard());
}

TEST_F(ClipboardCaptureTest, AClipboardHeldOpenBrieflyIsWaitedForAndOneHeldLongerIsGivenUp) {
  ASSERT_TRUE(sim::PutClipboard(editor, {sim::UnicodeText(L"later")}));
  ASSERT_TRUE(sim::HoldClipboard(editor, 35));
  const auto start = sim::NowMs();
  EXPECT_TRUE(record.LoadFromClipboard());
  EXPECT_EQ(record.text, "later");
  EXPECT_LE(sim::NowMs() - start, 50u);

  ASSERT_TRUE(sim::HoldClipboard(editor, 60));
  const auto second = sim::NowMs();
  pq::Record other;
  EXPECT_FALSE(other.LoadFromClipboard());
  EXPECT_EQ(sim::NowMs() - second, 50u);  // five waits of 10 ms, then it gives up
  sim::ReleaseClipboard();
}

TEST_F(ClipboardCaptureTest, AnEmptyClipboardRecordsNothing) {
  ASSERT_TRUE(sim::PutClipboard(editor, {}));
  EXPECT_FALSE(record.LoadFromClipboard());
}

}  // namespace
