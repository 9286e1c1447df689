#include <gtest/gtest.h>

#include "platform/atoms.h"

TEST(RegisteredNames, MessagesAndFormatsShareOneRangeAndIgnoreCase) {
  UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
  UINT fmt = RegisterClipboardFormatW(L"taskbarcreated");
  EXPECT_GE(msg, platform::kFirstRegisteredAtom);
  EXPECT_EQ(msg, fmt);
  EXPECT_NE(RegisterClipboardFormatW(L"HTML Format"), msg);
  EXPECT_EQ(RegisterClipboardFormatW(L"HTML Format"), RegisterClipboardFormatW(L"HTML Format"));
}

TEST(RegisteredNames, NameReadsBackTruncatedAndUnknownValuesGiveZero) {
  UINT fmt = RegisterClipboardFormatW(L"Rich Text Format");
  wchar_t buf[5];
  EXPECT_EQ(GetClipboardFormatNameW(fmt, buf, 5), 4);
  EXPECT_STREQ(buf, L"Rich");
  EXPECT_EQ(GetClipboardFormatNameW(1, buf, 5), 0);
  EXPECT_EQ(GetClipboardFormatNameW(0xFFFF, buf, 5), 0);
  EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
  EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}
