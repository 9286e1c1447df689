// Pasting records back into the application that had the focus, on the
// simulated desktop through the real manager and hooks.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "mgr_fixture.h"
#include "options.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"

namespace mgr_test {
namespace {

using Paste = ManagerDesktop;

// Key events as (virtual key, down) pairs, whatever the message form.
std::vector<std::pair<WPARAM, bool>> KeyEvents(HWND hwnd) {
  std::vector<std::pair<WPARAM, bool>> out;
  for (const sim::Received& r : sim::Keys(hwnd)) {
    out.emplace_back(r.wParam, r.message == WM_KEYDOWN || r.message == WM_SYSKEYDOWN);
  }
  return out;
}

int CountOf(HWND hwnd, UINT message) {
  int n = 0;
  for (const sim::Received& r : sim::Messages(hwnd)) n += r.message == message;
  return n;
}

const std::pair<WPARAM, bool> kCtrlDown{VK_CONTROL, true}, kCtrlUp{VK_CONTROL, false}, kVDown{'V', true},
    kVUp{'V', false}, kAltDown{VK_MENU, true}, kAltUp{VK_MENU, false};

TEST_F(Paste, EditControlsGetWmPasteAndNoKeys) {
  // Every class that pastes on the message, in any letter case.
  for (const wchar_t* cls : {L"Edit", L"RichEdit50W", L"richeditcea", L"RICHEDITCEW", L"RichEdit20A",
                             L"RichEdit", L"RichEdit20W"}) {
    HWND target = sim::AddEdit(editorApp.thread, editorApp.frame, cls);
    Focus(target);
    ASSERT_EQ(mgr().GetTargetField(), target);
    sim::ClearMessages(target);
    EXPECT_TRUE(mgr().PasteRecord(TextRecord("pasted text"), &Main()));
    sim::Settle();
    EXPECT_EQ(sim::EditText(target), L"pasted text") << cls;
    EXPECT_EQ(CountOf(target, WM_PASTE), 1) << cls;
    EXPECT_TRUE(sim::Keys(target).empty()) << cls;
  }
  EXPECT_TRUE(MainTexts().empty()) << "our paste is not recorded";
}

TEST_F(Paste, ClassesCloseToTheEditClassesGetKeysInstead) {
  for (const wchar_t* cls : {L"Edit2", L"RichEdit60W", L"RICHEDIT50", L"TEdit"}) {
    HWND target = sim::AddEdit(editorApp.thread, editorApp.frame, cls);
    Focus(target);
    sim::ClearMessages(target);
    EXPECT_TRUE(mgr().PasteRecord(TextRecord("typed"), nullptr));
    sim::Settle();
    EXPECT_EQ(CountOf(target, WM_PASTE), 0) << cls;
    EXPECT_FALSE(sim::Keys(target).empty()) << cls;
  }
}

TEST_F(Paste, TheCommandClassGetsThePasteCommand) {
  HWND target = AddControl(editorApp, L"DummyDummyTest");
  Focus(target);
  EXPECT_TRUE(mgr().PasteRecord(TextRecord("x"), nullptr));
  sim::Settle();
  bool found = false;
  for (const sim::Received& r : sim::Messages(target)) found |= r.message == WM_COMMAND && r.wParam == 0xE125;
  EXPECT_TRUE(found);
  EXPECT_TRUE(sim::Keys(target).empty());
}

class KeystrokePaste : public ManagerDesktop {
 protected:
  void SetUp() override {
    ManagerDesktop::SetUp();
    // An editor control of its own class: it pastes on a typed Ctrl+V only.
    target = sim::AddEdit(editorApp.thread, editorApp.frame, L"CodeEditor");
    Focus(target);
    ASSERT_EQ(mgr().GetTargetField(), target);
    BringOursToFront();
    ASSERT_EQ(GetForegroundWindow(), window);
    sim::ClearMessages(target);
  }
  HWND target = nullptr;
};

TEST_F(KeystrokePaste, OtherClassesAreActivatedAndGetCtrlV) {
  EXPECT_TRUE(mgr().PasteRecord(TextRecord("typed in"), &Main()));
  sim::Settle();
  EXPECT_EQ(GetForegroundWindow(), editorApp.frame);
  EXPECT_EQ(KeyEvents(target), (std::vector<std::pair<WPARAM, bool>>{kCtrlDown, kVDown, kVUp, kCtrlUp}));
  EXPECT_EQ(sim::EditText(target), L"typed in");
  EXPECT_EQ(CountOf(target, WM_PASTE), 0);
}

// The keys wait for a later turn of the loop and the activation gets a
// moment of its own first; a target that cannot come to the front gets none.
TEST_F(KeystrokePaste, TheActivationHasTwentyMillisecondsBeforeTheKeys) {
  const struct {
    bool foregroundAllowed;
    bool activated;
    std::uint64_t pause;
  } cases[] = {{true, true, 20}, {false, false, 0}};
  for (const auto& c : cases) {
    BringOursToFront();
    sim::ClearMessages(target);
    sim::SetForegroundAllowed(c.foregroundAllowed);
    const std::uint64_t start = sim::NowMs();
    EXPECT_TRUE(mgr().Paste());
    EXPECT_EQ(sim::NowMs() - start, c.pause) << c.foregroundAllowed;
    EXPECT_EQ(GetForegroundWindow() == editorApp.frame, c.activated) << c.foregroundAllowed;
    EXPECT_TRUE(sim::Keys(target).empty()) << "typed before the activation took";
    sim::SetForegroundAllowed(true);
    sim::Settle();
    if (c.activated) {
      EXPECT_EQ(KeyEvents(target), (std::vector<std::pair<WPARAM, bool>>{kCtrlDown, kVDown, kVUp, kCtrlUp}));
    }
  }
}

TEST_F(KeystrokePaste, HeldModifiersShapeTheKeys) {
  struct Case {
    int held;
    std::vector<std::pair<WPARAM, bool>> keys;
  };
  const Case cases[] = {
      {VK_CONTROL, {kVDown, kVUp}},
      {VK_MENU, {kAltUp, kCtrlDown, kVDown, kVUp, kCtrlUp, kAltDown}},
  };
  for (const Case& c : cases) {
    BringOursToFront();
    sim::KeyDown(c.held);
    sim::Settle();
    sim::ClearMessages(target);
    EXPECT_TRUE(mgr().PasteRecord(TextRecord("held"), nullptr));
    sim::Settle();
    EXPECT_EQ(KeyEvents(target), c.keys) << c.held;
    sim::KeyUp(c.held);
    sim::Settle();
  }
}

TEST_F(KeystrokePaste, NothingIsTypedWhileVIsHeld) {
  sim::KeyDown('V');
  sim::Settle();
  sim::ClearMessages(target);
  EXPECT_TRUE(mgr().PasteRecord(TextRecord("not doubled"), nullptr));
  sim::Settle();
  EXPECT_TRUE(sim::Keys(target).empty());
  EXPECT_EQ(sim::EditText(target), L"");
  sim::KeyUp('V');
}

TEST_F(KeystrokePaste, OurHookDoesNotTakeTheTypedKeysForTheShortcut) {
  RecordingClient client;
  mgr().SetClient(&client);
  // Ctrl+V as the popup shortcut: the typed Ctrl+V must not open the popup.
  SetOption(OPT_POPUP_SHORTCUT_WIN, false);
  SetOption(OPT_POPUP_SHORTCUT_CTRL, true);
  EXPECT_TRUE(mgr().PasteRecord(TextRecord("plain paste"), nullptr));
  sim::Settle();
  EXPECT_TRUE(client.log.empty());
  EXPECT_EQ(sim::EditText(target), L"plain paste");
  EXPECT_EQ(sim::InstalledHooks(WH_KEYBOARD), 1) << "the hook is back after the keys";
}

TEST_F(KeystrokePaste, AnotherApplicationInFrontIsLeftAlone) {
  App other = AddApp(L"/usr/bin/other");
  HWND otherEdit = sim::AddEdit(other.thread, other.frame, L"Button");  // never a target
  Focus(otherEdit);
  ASSERT_EQ(mgr().GetTargetField(), target);
  EXPECT_FALSE(mgr().ActivateTarget());
  EXPECT_EQ(GetForegroundWindow(), other.frame);
}

TEST_F(Paste, ExcludedFormatsAreLeftOutButTheTagStays) {
  auto record = TextRecord("with html", "<p>html</p>");
  const pq::ItemType* html = pq::ItemType::FindByFormat(pq::CfHtml());
  ASSERT_NE(html, nullptr);
  pq::ItemType::SetPasteEnabled(*html, false);
  ASSERT_TRUE(mgr().CopyToClipboard(record, &Main()));
  const std::vector<UINT> formats = sim::ClipboardFormats();
  auto has = [&](UINT f) { return std::find(formats.begin(), formats.end(), f) != formats.end(); };
  EXPECT_TRUE(has(pq::CfPastiqTag()));
  EXPECT_TRUE(has(CF_UNICODETEXT));
  EXPECT_FALSE(has(pq::CfHtml()));

  pq::ItemType::SetPasteEnabled(*html, true);
  ASSERT_TRUE(mgr().CopyToClipboard(record, &Main()));
  const std::vector<UINT> again = sim::ClipboardFormats();
  EXPECT_NE(std::find(again.begin(), again.end(), pq::CfHtml()), again.end());
}

TEST_F(Paste, EveryItemOfAnExcludedTypeGoes) {
  // Two HTML items (a clip may list a format twice).
  auto record = boost::make_shared<pq::Record>();
  auto* d = new pq::DataObject;
  for (const std::string& body : {std::string("<p>one</p>"), std::string("<p>two</p>")}) {
    auto* item = new pq::HtmlItem;
    item->SetBlock(body.data(), body.size());
    d->Items().push_back(item);
  }
  d->Items().push_back(new pq::TextItem("text"));
  ASSERT_TRUE(record->SetItems(*d));
  d->Release();
  pq::ItemType::SetPasteEnabled(*pq::ItemType::FindByFormat(pq::CfHtml()), false);
  ASSERT_TRUE(mgr().CopyToClipboard(record, nullptr));
  const std::vector<UINT> formats = sim::ClipboardFormats();
  EXPECT_EQ(std::count(formats.begin(), formats.end(), pq::CfHtml()), 0);
}

TEST_F(Paste, ARecordThatCannotBeRebuiltLeavesTheClipboardAlone) {
  CopyText(editor, L"theirs");
  auto broken = TextRecord("broken");
  broken->items = cmn::mblock<char>("not an archive", 14);
  EXPECT_FALSE(mgr().CopyToClipboard(broken, nullptr));
  EXPECT_FALSE(mgr().PasteRecord(broken, nullptr));
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"theirs");
  EXPECT_EQ(mgr().GetClipboardObject(), nullptr);
}

TEST_F(Paste, AClosedTargetGivesWayToTheFocusWindowInFront) {
  HWND first = sim::AddEdit(editorApp.thread, editorApp.frame);
  Focus(first);
  ASSERT_EQ(mgr().GetTargetField(), first);
  App other = AddApp(L"/usr/bin/notes");
  HWND notes = sim::AddEdit(other.thread, other.frame);
  sim::RemoveWindow(first);
  // The focus moves on before its notice is handled.
  sim::SetFocus(notes);
  EXPECT_TRUE(mgr().PasteRecord(TextRecord("to the front"), nullptr));
  sim::Settle();
  EXPECT_EQ(mgr().GetTargetField(), notes);
  EXPECT_EQ(sim::EditText(notes), L"to the front");
}

TEST_F(Paste, WithoutAnyTargetNothingIsTouched) {
  CopyText(editor, L"theirs");
  // Nothing has the focus anywhere.
  sim::RemoveWindow(editor);
  sim::RemoveWindow(editorApp.frame);
  sim::RemoveWindow(tray);
  ASSERT_EQ(mgr().GetTargetWindow(), nullptr);
  EXPECT_FALSE(mgr().PasteRecord(TextRecord("nowhere"), nullptr));
  EXPECT_FALSE(mgr().Paste());
  sim::Settle();
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"theirs");
}

TEST_F(Paste, ATargetWithoutAnInputQueueGetsNothing) {
  Focus(editor);
  sim::SetNoInputQueue(editorApp.pid, true);
  CopyText(editor, L"theirs");
  EXPECT_FALSE(mgr().PasteRecord(TextRecord("refused"), nullptr));
  sim::Settle();
  EXPECT_EQ(CountOf(editor, WM_PASTE), 0);
}

}  // namespace
}  // namespace mgr_test
