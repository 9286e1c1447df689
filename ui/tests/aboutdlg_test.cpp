#include "aboutdlg.h"

#include <gtest/gtest.h>

#include <vector>

#include <wx/stattext.h>

#include "dialog_test_util.h"

namespace {
std::vector<wxString> Lines(const wxWindow& dialog) {
  std::vector<wxString> lines;
  for (const wxWindow* child : dialog.GetChildren())
    if (auto* text = wxDynamicCast(child, wxStaticText)) lines.push_back(text->GetLabel());
  return lines;
}

TEST(AboutDialog, NamesTheProgramAndItsVersion) {
  EXPECT_EQ(GetVersionText(), "3.0.3");
  AboutDlg dialog(nullptr);
  EXPECT_EQ(dialog.GetTitle(), "Pastiq");
  const std::vector<wxString> lines = Lines(dialog);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Pastiq 3.0.3");
  EXPECT_FALSE(lines[1].empty());
  EXPECT_EQ(dialog.FindWindow(wxID_CANCEL), nullptr);
}

TEST(AboutDialog, OKEndsIt) {
  AboutDlg dialog(nullptr);
  EXPECT_EQ(RunModal(dialog, [&] { PressOK(dialog); }), wxID_OK);
}
}  // namespace
