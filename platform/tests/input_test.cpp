#include "sim_fixture.h"

namespace {

TEST(KeyboardLayout, VkKeyScanGivesKeyAndShiftStateOrMinusOne) {
  struct Case {
    wchar_t ch;
    SHORT expected;
  } cases[] = {
      {L'v', 0x56}, {L'V', 0x156}, {L'a', 0x41}, {L'0', 0x30}, {L')', 0x130}, {L' ', 0x20},
      {L';', VK_OEM_1}, {L':', 0x100 | VK_OEM_1}, {L'/', VK_OEM_2}, {L'?', 0x100 | VK_OEM_2},
      {L'\t', VK_TAB}, {L'\r', VK_RETURN}, {L'\u00e9', -1}, {L'\u20ac', -1}, {L'\0', -1},
  };
  for (const Case& c : cases) EXPECT_EQ(VkKeyScanW(c.ch), c.expected) << static_cast<int>(c.ch);
}

TEST(KeyboardLayout, MapVirtualKeyBetweenKeysScanCodesAndCharacters) {
  EXPECT_EQ(MapVirtualKeyA('V', MAPVK_VK_TO_VSC), 0x2Fu);
  EXPECT_EQ(MapVirtualKeyA(VK_CONTROL, MAPVK_VK_TO_VSC), 0x1Du);
  EXPECT_EQ(MapVirtualKeyA(0x2F, MAPVK_VSC_TO_VK), UINT{'V'});
  EXPECT_EQ(MapVirtualKeyA('V', MAPVK_VK_TO_CHAR), UINT{'V'});
  EXPECT_EQ(MapVirtualKeyA(VK_OEM_COMMA, MAPVK_VK_TO_CHAR), UINT{','});
  EXPECT_EQ(MapVirtualKeyA(0xE8, MAPVK_VK_TO_VSC), 0u);
  EXPECT_EQ(MapVirtualKeyA('V', 9), 0u);
}

class Controls : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    sim::SetPasteSource([this](std::wstring* t) {
      if (clipboard.empty()) return false;
      *t = clipboard;
      return true;
    });
    ASSERT_TRUE(sim::SetFocus(editor));
  }
  void TearDown() override { sim::SetPasteSource(nullptr); }
  std::wstring clipboard = L"[clip]";
};

TEST_F(Controls, EditAndRichEditPasteOnWmPasteAndTypedCtrlV) {
  HWND rich = sim::AddRichEdit(editorThread, editorFrame);
  wchar_t cls[32];
  GetClassNameW(rich, cls, 32);
  EXPECT_STREQ(cls, L"RichEdit20W");
  for (HWND target : {editor, rich}) {
    ASSERT_TRUE(sim::SetFocus(target));
    sim::TypeText(L"Hi ");
    PostMessageW(target, WM_PASTE, 0, 0);
    sim::RunPending();
    sim::Chord({VK_CONTROL, 'V'});
    EXPECT_EQ(sim::EditText(target), L"Hi [clip][clip]");
    wchar_t buf[64];
    EXPECT_EQ(SendMessageW(target, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buf)), 15);
    EXPECT_STREQ(buf, L"Hi [clip][clip]");
  }
  clipboard.clear();
  PostMessageW(editor, WM_PASTE, 0, 0);
  sim::RunPending();
  EXPECT_EQ(sim::EditText(editor), L"Hi [clip][clip]") << "an empty clipboard pastes nothing";
  EXPECT_EQ(sim::Messages(editor).back().message, WM_PASTE) << "but the message is recorded";
}

TEST_F(Controls, TypingUsesShiftAndBackspace) {
  sim::TypeText(L"Ab:?");
  EXPECT_EQ(sim::EditText(editor), L"Ab:?");
  sim::Tap(VK_BACK);
  EXPECT_EQ(sim::EditText(editor), L"Ab:");
  SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"new"));
  EXPECT_EQ(sim::EditText(editor), L"new");
  auto keys = sim::Keys(editor);
  ASSERT_GE(keys.size(), 3u);
  EXPECT_EQ(keys[0].wParam, WPARAM{VK_SHIFT});
  EXPECT_TRUE(keys[1].shift) << "A was typed with Shift held";
}

TEST_F(Controls, AltKeysArriveAsSystemKeys) {
  sim::Chord({VK_MENU, 'F'});
  EXPECT_EQ(KeyTrail(editor), (std::vector<std::pair<UINT, WPARAM>>{
                                  {WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYDOWN, 'F'}, {WM_SYSKEYUP, 'F'}, {WM_SYSKEYUP, VK_MENU}}));
  EXPECT_EQ(sim::EditText(editor), L"");
  auto keys = sim::Keys(editor);
  EXPECT_NE(keys[1].lParam & (1 << 29), 0) << "context bit: Alt held";
}

TEST_F(Controls, AsyncStateIsPhysicalAndKeysWithNobodyInFrontGoNowhere) {
  sim::KeyDown('V');
  EXPECT_LT(GetAsyncKeyState('V'), 0);
  EXPECT_GE(GetKeyState('V'), 0) << "our thread did not read that key";
  sim::KeyUp('V');
  EXPECT_EQ(GetAsyncKeyState('V'), 0);
  ShowWindow(editorFrame, SW_HIDE);
  sim::ClearMessages(editor);
  sim::KeyDown(VK_RCONTROL);
  EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0) << "either side counts as the generic key";
  EXPECT_TRUE(sim::Keys(editor).empty());
  sim::KeyUp(VK_RCONTROL);
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
}

TEST_F(Controls, ToggleBitFlipsOnEachPress) {
  BYTE before[256];
  sim::RunInThread(editorThread, [&] { GetKeyboardState(before); });
  sim::Tap(VK_CAPITAL);
  SHORT afterOne = 0, afterTwo = 0;
  sim::RunInThread(editorThread, [&] { afterOne = GetKeyState(VK_CAPITAL); });
  sim::Tap(VK_CAPITAL);
  sim::RunInThread(editorThread, [&] { afterTwo = GetKeyState(VK_CAPITAL); });
  EXPECT_EQ(before[VK_CAPITAL], 0);
  EXPECT_EQ(afterOne, 1);
  EXPECT_EQ(afterTwo, 0);
}

}  // namespace
