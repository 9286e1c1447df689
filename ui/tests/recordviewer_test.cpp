#include "recordviewer.h"

#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>
#include <wx/datetime.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "bitmapitemview.h"
#include "gui_util.h"
#include "itemview.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "pq/record.h"
#include "rtfitemview.h"
#include "rtfreader.h"
#include "textitemview.h"

namespace {

// What a record holds.
enum Kind : unsigned { T = 1, R = 2, H = 4, B = 8 };

const char kRtf[] = "{\\rtf1 plain {\\b bold}}";

// A record of the given items, put into its data object in the reverse of
// their type order (so the page order cannot come from the item order).
pq::RecordPtr MakeRecord(unsigned kinds, const std::string& text = "hello", wxSize picture = wxSize(30, 10)) {
  auto* d = new pq::DataObject;
  if (kinds & B) {
    auto* bitmap = new pq::BitmapItem;
    wxImage image(picture.x, picture.y);
    image.SetRGB(wxRect(picture), 200, 40, 40);
    bitmap->SetImage(image);
    d->Items().push_back(bitmap);
  }
  if (kinds & H) {
    auto* html = new pq::HtmlItem;
    html->SetBlock("<b>x</b>", 8);
    d->Items().push_back(html);
  }
  if (kinds & R) {
    auto* rtf = new pq::RtfItem;
    rtf->SetBlock(kRtf, sizeof kRtf - 1);  // as a clip may hold it: no NUL at its end
    d->Items().push_back(rtf);
  }
  if (kinds & T) d->Items().push_back(new pq::TextItem(text));
  auto record = boost::make_shared<pq::Record>();
  EXPECT_TRUE(record->SetItems(*d));
  d->Release();
  return record;
}

struct Viewer : ::testing::Test {
  wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "viewer", wxDefaultPosition, wxSize(600, 400));
  RecordViewer* viewer = new RecordViewer(frame);
  pq::RecordList list;
  pq::RecordList other;

  Viewer() {
    frame->Show();
    DispatchPending();
  }
  ~Viewer() override {
    frame->Destroy();
    DispatchPending();
  }

  std::vector<std::string> Titles() const {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < viewer->GetPageCount(); ++i)
      out.push_back(viewer->GetPageText(i).utf8_string());
    return out;
  }
  template <class View>
  View* Find() const {
    for (wxWindow* w : viewer->GetViews())
      if (auto* view = dynamic_cast<View*>(w)) return view;
    return nullptr;
  }
};

TEST_F(Viewer, MakesOneHiddenViewPerKindInTypeOrder) {
  ASSERT_EQ(viewer->GetViews().size(), 3u);
  EXPECT_NE(dynamic_cast<TextItemView*>(viewer->GetViews()[0]), nullptr);
  EXPECT_NE(dynamic_cast<RtfItemView*>(viewer->GetViews()[1]), nullptr);
  EXPECT_NE(dynamic_cast<BitmapItemView*>(viewer->GetViews()[2]), nullptr);
  for (wxWindow* view : viewer->GetViews()) {
    EXPECT_FALSE(view->IsShown());
    EXPECT_EQ(view->GetParent(), viewer);
  }
  EXPECT_EQ(viewer->GetName(), "notebook");
  EXPECT_EQ(viewer->GetViews()[0]->GetName(), "text");
  EXPECT_EQ(viewer->GetViews()[1]->GetName(), "text");
  EXPECT_EQ(viewer->GetViews()[2]->GetName(), "panel");
  EXPECT_TRUE(viewer->GetViews()[1]->HasFlag(wxTE_RICH2));
  EXPECT_EQ(viewer->GetPageCount(), 0u);
  // Building a viewer sorted the item types by id.
  const auto& types = pq::ItemType::GetItemTypes();
  for (std::size_t i = 1; i < types.size(); ++i) EXPECT_LT(types[i - 1]->GetId(), types[i]->GetId());
}

// Records shown one after another, and the pages after the last.
struct PageCase {
  const char* name;
  std::vector<unsigned> shown;
  // Selected after the one but last record is shown (-1 leaves it).
  int select;
  std::vector<std::string> titles;
  // The title of the page selected at the end ("" for none).
  std::string selected;
};

const PageCase kPageCases[] = {
    {"TextOnly", {T}, -1, {"Plain Text"}, "Plain Text"},
    {"HtmlHasNoPage", {T | R | H}, -1, {"Plain Text", "Rich Text Format (RTF)"}, "Plain Text"},
    {"AllThreeInTypeOrder",
     {T | R | B},
     -1,
     {"Plain Text", "Rich Text Format (RTF)", "Bitmap Picture"},
     "Plain Text"},
    {"NoTextItem", {R | B}, -1, {"Rich Text Format (RTF)", "Bitmap Picture"}, "Rich Text Format (RTF)"},
    {"ToBitmapOnlyKeepsTheBitmapPage", {T | R | B, B}, 2, {"Bitmap Picture"}, "Bitmap Picture"},
    {"SeveralPagesInARowGo", {T | R | B, T}, 0, {"Plain Text"}, "Plain Text"},
    {"TextInsertedBeforeBitmap", {B, T | B}, 0, {"Plain Text", "Bitmap Picture"}, "Bitmap Picture"},
    {"MiddlePageInserted",
     {T | B, T | R | B},
     1,
     {"Plain Text", "Rich Text Format (RTF)", "Bitmap Picture"},
     "Bitmap Picture"},
    {"MiddlePageRemoved", {T | R | B, T | B}, 2, {"Plain Text", "Bitmap Picture"}, "Bitmap Picture"},
    {"NoPageInCommon", {T, R | B}, 0, {"Rich Text Format (RTF)", "Bitmap Picture"}, "Rich Text Format (RTF)"},
    {"HtmlOnlyHasNoPages", {T | R, H}, 1, {}, ""},
};

class ViewerPages : public Viewer, public ::testing::WithParamInterface<PageCase> {};

TEST_P(ViewerPages, StandInTypeOrderAndPagesThatStayKeepTheirPlace) {
  const PageCase& c = GetParam();
  std::vector<pq::RecordPtr> records;
  for (std::size_t i = 0; i < c.shown.size(); ++i) {
    records.push_back(MakeRecord(c.shown[i], "text " + std::to_string(i), wxSize(30 + int(i) * 20, 10)));
    if (i + 1 == c.shown.size() && c.select >= 0) viewer->SetSelection(std::size_t(c.select));
    viewer->ShowRecord(records.back(), &list);
  }
  EXPECT_EQ(Titles(), c.titles);
  const int selection = viewer->GetSelection();
  EXPECT_EQ(selection == wxNOT_FOUND ? "" : viewer->GetPageText(std::size_t(selection)).utf8_string(),
            c.selected);

  // Every page shows the last record's item; views without a page are hidden
  // and hold none.
  const unsigned last = c.shown.back();
  for (wxWindow* window : viewer->GetViews()) {
    const bool isPage = viewer->FindPage(window) != wxNOT_FOUND;
    if (!isPage) {
      EXPECT_FALSE(window->IsShown());
    }
    if (auto* text = dynamic_cast<TextItemView*>(window)) {
      EXPECT_EQ(isPage, (last & T) != 0);
      EXPECT_EQ(text->GetValue(),
                isPage ? wxString("text " + std::to_string(c.shown.size() - 1)) : wxString());
      EXPECT_EQ(text->GetItem() != nullptr, isPage);
    } else if (auto* rtf = dynamic_cast<RtfItemView*>(window)) {
      EXPECT_EQ(isPage, (last & R) != 0);
      EXPECT_EQ(rtf->GetValue(), isPage ? wxString("plain bold") : wxString());
    } else if (auto* bitmap = dynamic_cast<BitmapItemView*>(window)) {
      EXPECT_EQ(isPage, (last & B) != 0);
      EXPECT_EQ(bitmap->GetItem() != nullptr, isPage);
      if (isPage) {
        EXPECT_EQ(bitmap->GetItem()->GetWidth(), 30 + 20 * int(c.shown.size() - 1));
      }
    }
  }
  if (selection != wxNOT_FOUND) {
    EXPECT_TRUE(viewer->GetPage(std::size_t(selection))->IsShown());
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ViewerPages, ::testing::ValuesIn(kPageCases),
                         [](const ::testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST_F(Viewer, TheSameRecordAgainChangesNothingEvenFromAnotherList) {
  const pq::RecordPtr record = MakeRecord(T | B);
  viewer->ShowRecord(record, &list);
  TextItemView* text = Find<TextItemView>();
  pq::TextItem* item = text->GetItem();
  ASSERT_NE(item, nullptr);
  viewer->SetSelection(1);
  text->ChangeValue("edited");
  viewer->ShowRecord(record, &other);
  EXPECT_EQ(text->GetItem(), item);  // the same data object, not unpacked again
  EXPECT_EQ(text->GetValue(), "edited");
  EXPECT_EQ(viewer->GetSelection(), 1);
  EXPECT_EQ(viewer->GetPageCount(), 2u);
}

TEST_F(Viewer, NoRecordClearsThePagesAndTheViewsLetGo) {
  viewer->ShowRecord(MakeRecord(T | R | B), &list);
  ASSERT_EQ(viewer->GetPageCount(), 3u);
  viewer->ShowRecord(pq::RecordPtr(), nullptr);
  EXPECT_EQ(viewer->GetPageCount(), 0u);
  EXPECT_FALSE(viewer->GetRecord());
  for (wxWindow* window : viewer->GetViews()) EXPECT_FALSE(window->IsShown());
  EXPECT_EQ(Find<TextItemView>()->GetItem(), nullptr);
  EXPECT_EQ(Find<RtfItemView>()->GetItem(), nullptr);
  EXPECT_EQ(Find<BitmapItemView>()->GetItem(), nullptr);
  // And showing something again brings the pages back.
  viewer->ShowRecord(MakeRecord(R), &list);
  EXPECT_EQ(Titles(), std::vector<std::string>{"Rich Text Format (RTF)"});
}

TEST_F(Viewer, ADamagedRecordClearsThePages) {
  const pq::RecordPtr good = MakeRecord(T | R | B);
  struct Damage {
    const char* name;
    std::string block;
  } damages[] = {
      {"not zlib", "this is not a compressed archive"},
      {"cut short", std::string(good->items.data(), good->items.size() / 2)},
      {"one byte", "x"},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    viewer->ShowRecord(good, &list);
    ASSERT_EQ(viewer->GetPageCount(), 3u);
    auto damaged = boost::make_shared<pq::Record>();
    damaged->text = "text";
    damaged->textIndex = 0;
    damaged->items = cmn::mblock<char>(d.block.size());
    std::copy(d.block.begin(), d.block.end(), damaged->items.data());
    viewer->ShowRecord(damaged, &list);
    EXPECT_EQ(viewer->GetPageCount(), 0u);
    EXPECT_EQ(viewer->GetRecord(), damaged);
    EXPECT_EQ(Find<TextItemView>()->GetItem(), nullptr);
  }
  // A record with no items at all, and one whose text index lies beyond them.
  auto empty = boost::make_shared<pq::Record>();
  viewer->ShowRecord(good, &list);
  viewer->ShowRecord(empty, &list);
  EXPECT_EQ(viewer->GetPageCount(), 0u);
  const pq::RecordPtr beyond = MakeRecord(B);
  beyond->textIndex = 5;
  viewer->ShowRecord(good, &list);
  viewer->ShowRecord(beyond, &list);
  EXPECT_EQ(viewer->GetPageCount(), 0u);
}

TEST_F(Viewer, BitmapScrollUnitsRoundUp) {
  struct Case {
    wxSize picture;
    wxSize units;
  } cases[] = {
      {{30, 10}, {2, 1}}, {{40, 20}, {2, 1}}, {{41, 19}, {3, 1}}, {{1, 1}, {1, 1}}, {{400, 300}, {20, 15}},
  };
  BitmapItemView* view = Find<BitmapItemView>();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.picture.x) + " x " + std::to_string(c.picture.y));
    viewer->ShowRecord(MakeRecord(B, "", c.picture), &list);
    int ux = 0, uy = 0;
    view->GetScrollPixelsPerUnit(&ux, &uy);
    EXPECT_EQ(ux, BitmapItemView::kScrollUnit);
    EXPECT_EQ(uy, BitmapItemView::kScrollUnit);
    EXPECT_EQ(view->GetVirtualSize(), wxSize(c.units.x * ux, c.units.y * uy));
    EXPECT_EQ(view->GetViewStart(), wxPoint(0, 0));
  }
}

TEST_F(Viewer, ANewBitmapScrollsToTheTopLeft) {
  frame->SetClientSize(200, 150);
  viewer->ShowRecord(MakeRecord(B, "", wxSize(2000, 1500)), &list);
  DispatchPending();
  BitmapItemView* view = Find<BitmapItemView>();
  view->Scroll(10, 10);
  ASSERT_NE(view->GetViewStart(), wxPoint(0, 0));
  viewer->ShowRecord(MakeRecord(B, "", wxSize(2000, 1500)), &list);
  EXPECT_EQ(view->GetViewStart(), wxPoint(0, 0));
}

// What the view draws on black, read back from a memory bitmap.
wxImage Drawn(BitmapItemView* view) {
  wxBitmap canvas(view->GetClientSize());
  {
    wxMemoryDC dc(canvas);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    view->DoPrepareDC(dc);
    view->OnDraw(dc);
  }
  return canvas.ConvertToImage();
}

wxColour At(const wxImage& image, int x, int y) {
  return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

TEST_F(Viewer, BitmapPageDrawsThePartInView) {
  frame->SetClientSize(200, 150);
  // Red counts the column, green the row.
  wxImage image(600, 400);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 600; ++x) image.SetRGB(x, y, (unsigned char)(x / 3), (unsigned char)(y / 2), 7);
  auto* d = new pq::DataObject;
  auto* item = new pq::BitmapItem;
  item->SetImage(image);
  d->Items().push_back(item);
  auto record = boost::make_shared<pq::Record>();
  ASSERT_TRUE(record->SetItems(*d));
  d->Release();
  viewer->ShowRecord(record, &list);
  BitmapItemView* view = Find<BitmapItemView>();
  // A window manager may take a moment to give the frame its size.
  const wxDateTime deadline = wxDateTime::UNow() + wxTimeSpan::Seconds(10);
  while ((view->GetClientSize().x < 60 || view->GetClientSize().y < 40) && wxDateTime::UNow() < deadline)
    DispatchPending();
  ASSERT_GE(view->GetClientSize().x, 60);
  ASSERT_GE(view->GetClientSize().y, 40);
  EXPECT_EQ(At(Drawn(view), 0, 0), wxColour(0, 0, 7));
  view->Scroll(3, 2);  // 60 and 40 pixels
  EXPECT_EQ(At(Drawn(view), 0, 0), wxColour(20, 20, 7));
  EXPECT_EQ(At(Drawn(view), 30, 10), wxColour(30, 25, 7));
  // Beside the picture nothing is drawn.
  viewer->ShowRecord(MakeRecord(B, "", wxSize(1, 1)), &list);
  const wxImage small = Drawn(view);
  EXPECT_EQ(At(small, 0, 0), wxColour(200, 40, 40));
  EXPECT_EQ(At(small, 5, 5), *wxBLACK);
}

TEST_F(Viewer, TextPageShowsUtf8Text) {
  viewer->ShowRecord(MakeRecord(T, "caf\xC3\xA9 \xE2\x82\xAC\nline two"), &list);
  EXPECT_EQ(Find<TextItemView>()->GetValue(), wxString::FromUTF8("caf\xC3\xA9 \xE2\x82\xAC\nline two"));
}

TEST_F(Viewer, RichTextPageShowsTheStyles) {
  viewer->ShowRecord(MakeRecord(R), &list);
  RtfItemView* view = Find<RtfItemView>();
  ASSERT_EQ(view->GetValue(), "plain bold");
  wxTextAttr plain, bold;
  ASSERT_TRUE(view->GetStyle(2, plain));
  ASSERT_TRUE(view->GetStyle(8, bold));
  EXPECT_NE(plain.GetFontWeight(), wxFONTWEIGHT_BOLD);
  EXPECT_EQ(bold.GetFontWeight(), wxFONTWEIGHT_BOLD);
}

TEST_F(Viewer, RichTextPageSaysWhenItsTextIsCut) {
  const std::string rtf = "{\\rtf1 " + std::string(kRtfMaxText + 5, 'a') + "}";
  auto* d = new pq::DataObject;
  auto* item = new pq::RtfItem;
  item->SetBlock(rtf.data(), rtf.size());
  d->Items().push_back(item);
  auto record = boost::make_shared<pq::Record>();
  ASSERT_TRUE(record->SetItems(*d));
  d->Release();
  viewer->ShowRecord(record, &list);
  const wxString shown = Find<RtfItemView>()->GetValue();
  EXPECT_EQ(shown.length(), kRtfMaxText + 2);
  EXPECT_TRUE(shown.EndsWith(L"a\n\u2026"));
}

TEST(ItemViewTypes, AViewKindWhoseItemTypeIsNotRegisteredComesLast) {
  // Made for this test alone and taken out of the registry again.
  struct Stray {
    ItemViewTypeImpl<TextItemView, int> type;
    ~Stray() {
      auto& r = ItemViewType::GetRegistry();
      r.erase(std::find(r.begin(), r.end(), &type));
    }
  } stray;
  const ItemViewType* text = nullptr;
  const ItemViewType* bitmap = nullptr;
  for (const ItemViewType* t : ItemViewType::GetRegistry()) {
    if (t->GetItemClass() == typeid(pq::TextItem)) text = t;
    if (t->GetItemClass() == typeid(pq::BitmapItem)) bitmap = t;
  }
  ASSERT_TRUE(text && bitmap);
  pq::ItemType::SortById();
  EXPECT_EQ(ItemViewType::GetItemType(stray.type), nullptr);
  EXPECT_TRUE(ItemViewType::CompareByItemOrder(text, bitmap));
  EXPECT_FALSE(ItemViewType::CompareByItemOrder(bitmap, text));
  EXPECT_TRUE(ItemViewType::CompareByItemOrder(bitmap, &stray.type));
  EXPECT_FALSE(ItemViewType::CompareByItemOrder(&stray.type, bitmap));
  EXPECT_FALSE(ItemViewType::CompareByItemOrder(&stray.type, &stray.type));
}

}  // namespace
