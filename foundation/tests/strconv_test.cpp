// Conversions between toolkit strings and the UTF-8 strings we archive.
#include <gtest/gtest.h>

#include "cmn/strconv.h"

namespace {

using cmn::wx::AssignStdString;
using cmn::wx::AssignWxString;
using cmn::wx::FromMultiByte;
using cmn::wx::FromStdString;
using cmn::wx::ToMultiByte;
using cmn::wx::ToStdString;

TEST(StrConv, WideAndUtf8TextsConvertBothWays) {
  struct Case {
    const wchar_t* wide;
    const char* utf8;
  } cases[] = {
      {L"", ""},
      {L"plain ascii", "plain ascii"},
      {L"caf\u00e9", "caf\xC3\xA9"},
      {L"\u65e5\u672c", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {L"\U0001F600", "\xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToStdString(c.wide), c.utf8);
    EXPECT_STREQ(ToMultiByte(c.wide).data(), c.utf8);
    EXPECT_EQ(FromStdString(c.utf8), wxString(c.wide));
    EXPECT_EQ(FromMultiByte(c.utf8), wxString(c.wide));
    EXPECT_EQ(cmn::wx::ToWxString(c.utf8), wxString(c.wide));
  }
}

TEST(StrConv, TextsEndAtTheFirstNul) {
  EXPECT_EQ(FromStdString(std::string("ab\0cd", 5)), wxString("ab"));
  EXPECT_EQ(ToStdString(wxString(L"ab\0cd", 5)), "ab");
}

TEST(StrConv, TextsThatCannotBeConvertedBecomeEmpty) {
  EXPECT_EQ(FromStdString("ab\xFF" "cd"), wxString());
  EXPECT_EQ(FromStdString("\xC3"), wxString());
  EXPECT_EQ(FromMultiByte(nullptr), wxString());
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_EQ(ToStdString(surrogate), "");
}

TEST(StrConv, StoredTextFormOfTheTextOption) {
  struct Case {
    const wchar_t* text;
    std::string stored;
  } cases[] = {
      {L"ab", std::string("ab\0", 3)},
      {L"", ""},
      {L"\u00e9", std::string("\xC3\xA9\0", 3)},
  };
  for (const Case& c : cases) {
    std::string to = "previous";
    AssignStdString(c.text, to);
    EXPECT_EQ(to, c.stored);
    wxString back = "kept";
    AssignWxString(to, back);
    EXPECT_EQ(back, c.stored.empty() ? wxString("kept") : wxString(c.text));
  }
  wxString ab;
  AssignWxString("abc", ab);  // the last byte goes, whatever it is
  EXPECT_EQ(ab, "ab");
}

}  // namespace
