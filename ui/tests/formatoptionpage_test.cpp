// The Formats page of the options dialog: one row per recordable format in
// type-id order, its two switches, the locale following the plain text, and
// exactly the options it writes.
#include "formatoptionpage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>
#include <wx/sizer.h>

#include "dialog_test_util.h"
#include "generaloptionpage.h"
#include "optionpage_test_util.h"
#include "options.h"
#include "platform/clipformats.h"
#include "pq/itemtype.h"

namespace {

using FormatsPage = OptionPageTest;
using FormatsPageWithoutOptions = OptionPageTestWithoutOptions;


const pq::ItemType& Type(CLIPFORMAT format) { return *pq::ItemType::FindByFormat(format); }

std::vector<wxString> RowNames() {
  std::vector<wxString> names;
  for (const pq::ItemType* type : FormatOptionPage::RowTypes()) names.push_back(type->GetName());
  return names;
}

TEST_F(FormatsPage, HasARowPerRecordableFormatInTypeIdOrder) {
  const std::vector<wxString> expected = {"Plain Text",     "Rich Text Format (RTF)",
                                          "Html Text",      "Bitmap Picture",
                                          "Metafile Picture", "Embedded Object (experimental support)",
                                          "Comma-Separated Values (CSV)"};
  EXPECT_EQ(RowNames(), expected);
  // Whatever order the registry is in (a record viewer sorts it by id when
  // built; before that it is in registration order).
  auto& types = pq::ItemType::GetItemTypes();
  const std::vector<pq::ItemType*> registered = types;
  std::reverse(types.begin(), types.end());
  EXPECT_EQ(RowNames(), expected);
  types = registered;

  OptionDlg dialog(nullptr);
  FormatOptionPage& page = PageOf<FormatOptionPage>(dialog);
  for (const pq::ItemType* type : FormatOptionPage::RowTypes()) {
    EXPECT_NE(page.GetRecordBox(*type), nullptr) << type->GetName();
    EXPECT_NE(page.GetPasteBox(*type), nullptr) << type->GetName();
  }
  // No row, so no box, for the tag and the locale.
  for (CLIPFORMAT none : {pq::CfPastiqTag(), static_cast<CLIPFORMAT>(CF_LOCALE)}) {
    EXPECT_EQ(page.GetRecordBox(Type(none)), nullptr);
    EXPECT_EQ(page.GetPasteBox(Type(none)), nullptr);
  }
  // The header and seven formats.
  wxFlexGridSizer* grid = nullptr;
  for (wxSizerItem* item : page.GetSizer()->GetChildren())
    if (item->GetSizer())
      for (wxSizerItem* inner : item->GetSizer()->GetChildren())
        if (!grid) grid = dynamic_cast<wxFlexGridSizer*>(inner->GetSizer());
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->GetItemCount(), 8u * 3u);
}

TEST_F(FormatsPage, ShowsTheDefaultSwitches) {
  OptionDlg dialog(nullptr);
  FormatOptionPage& page = PageOf<FormatOptionPage>(dialog);
  const std::set<int> recorded = {1001, 1003, 1004, 1008};
  for (const pq::ItemType* type : FormatOptionPage::RowTypes()) {
    EXPECT_EQ(page.GetRecordBox(*type)->GetValue(), recorded.count(type->GetId()) == 1) << type->GetName();
    EXPECT_TRUE(page.GetPasteBox(*type)->GetValue()) << type->GetName();
  }
}

TEST_F(FormatsPage, TheLocaleFollowsThePlainText) {
  const pq::ItemType& text = Type(CF_UNICODETEXT);
  const pq::ItemType& locale = Type(CF_LOCALE);
  for (bool on : {false, true}) {
    OptionDlg dialog(nullptr);
    FormatOptionPage& page = PageOf<FormatOptionPage>(dialog);
    ExpectAccepted(PressOKOnce(
        dialog,
        [&] {
          page.GetRecordBox(text)->SetValue(on);
          page.GetPasteBox(text)->SetValue(on);
        },
        {}));
    EXPECT_EQ(OptionValue<bool>(1001, !on), on);
    EXPECT_EQ(OptionValue<bool>(1002, !on), on);
    EXPECT_EQ(OptionValue<bool>(2001, on), !on) << "the paste option holds \"not pasted\"";
    EXPECT_EQ(OptionValue<bool>(2002, on), !on);
    EXPECT_EQ(pq::ItemType::IsRecordEnabled(CF_LOCALE), on);
    EXPECT_EQ(pq::ItemType::IsPasteEnabled(CF_LOCALE), on);
    EXPECT_EQ(pq::ItemType::IsPasteEnabled(locale.GetFormat()), on);
  }
}

TEST_F(FormatsPage, RecordingAndPastingFollowTheBoxes) {
  const pq::ItemType& bitmap = Type(CF_DIB);
  const pq::ItemType& html = Type(pq::CfHtml());
  OptionDlg dialog(nullptr);
  FormatOptionPage& page = PageOf<FormatOptionPage>(dialog);
  ExpectAccepted(PressOKOnce(
      dialog,
      [&] {
        page.GetRecordBox(bitmap)->SetValue(true);
        page.GetPasteBox(html)->SetValue(false);
        // Neither recorded nor pasted is accepted as well.
        page.GetRecordBox(html)->SetValue(false);
      },
      {}));
  EXPECT_TRUE(pq::ItemType::IsRecordEnabled(CF_DIB));
  EXPECT_FALSE(pq::ItemType::IsRecordEnabled(pq::CfHtml()));
  EXPECT_FALSE(pq::ItemType::IsPasteEnabled(pq::CfHtml()));
  EXPECT_TRUE(pq::ItemType::IsPasteEnabled(CF_DIB));
  EXPECT_TRUE(pq::ItemType::IsRecordEnabled(CF_UNICODETEXT));
}

TEST_F(FormatsPageWithoutOptions, WritesBothSwitchesOfEveryTypeButTheTag) {
  OptionDlg dialog(nullptr);
  FormatOptionPage& page = PageOf<FormatOptionPage>(dialog);
  for (const pq::ItemType* type : FormatOptionPage::RowTypes()) {
    EXPECT_FALSE(page.GetRecordBox(*type)->GetValue()) << "absent: not recorded";
    EXPECT_TRUE(page.GetPasteBox(*type)->GetValue()) << "absent: pasted";
  }
  // The General page needs a key and a modifier for each list.
  GeneralOptionPage* general = &PageOf<GeneralOptionPage>(dialog);
  ExpectAccepted(PressOKOnce(
      dialog,
      [&] {
        general->GetShortcutKey()->SetValue("v");
        general->GetPopupWin()->SetValue(true);
        general->GetFloatingWin()->SetValue(true);
      },
      {}));
  std::set<int> written;
  for (const auto& [id, value] : settings.options().map)
    if (id >= 1000 && id < 3000 && !value.text.empty()) written.insert(id);
  std::set<int> expected;
  for (int id = 1001; id <= 1008; ++id) expected.insert({id, id + 1000});
  EXPECT_EQ(written, expected);
}

}  // namespace
