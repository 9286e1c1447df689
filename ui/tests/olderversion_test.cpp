#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msgbox.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"
#include "sim_app.h"
#include "startup.h"

namespace {
HWND FakeWindow() { return reinterpret_cast<HWND>(0x1234); }

struct Posted {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct OlderVersion : ::testing::Test {
  bool windowThere = true;
  bool stillValid = true;
  std::wstring askedClass;
  bool askedWithTitle = false;
  std::vector<Posted> posted;
  std::vector<std::string> boxes;
  long boxStyle = 0;
  wxString boxCaption;
  int answer = wxYES;
  MessageBoxHandler previous;

  OlderVersion() {
    previous = SetMessageBoxHandler([this](const wxString& text, const wxString& caption, long style, wxWindow* parent) {
      boxes.push_back(text.ToStdString());
      boxCaption = caption;
      boxStyle = style;
      EXPECT_EQ(parent, nullptr);
      return answer;
    });
  }
  ~OlderVersion() override { SetMessageBoxHandler(previous); }

  OlderVersionDesktop Desktop() {
    return {[this](LPCWSTR cls, LPCWSTR title) {
              askedClass = cls ? cls : L"";
              askedWithTitle = title != nullptr;
              return windowThere ? FakeWindow() : HWND{};
            },
            [this](HWND w) -> BOOL { return w == FakeWindow() && stillValid; },
            [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> BOOL {
              posted.push_back({w, m, wp, lp});
              return TRUE;
            }};
  }
};

TEST_F(OlderVersion, NoneRunningAsksNothing) {
  windowThere = false;
  EXPECT_TRUE(CloseOlderVersion(Desktop()));
  EXPECT_EQ(askedClass, L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}");
  EXPECT_FALSE(askedWithTitle);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(posted.empty());
}

TEST_F(OlderVersion, AWindowThatIsGoneAsksNothing) {
  stillValid = false;
  EXPECT_TRUE(CloseOlderVersion(Desktop()));
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(posted.empty());
}

TEST_F(OlderVersion, YesPostsTheExitCommandAndGoesOn) {
  EXPECT_TRUE(CloseOlderVersion(Desktop()));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "You must close old version of Pastiq before new version can run.  Do you want to close it?");
  EXPECT_EQ(boxCaption, "Pastiq");
  EXPECT_EQ(boxStyle & (wxYES_NO | wxOK | wxCANCEL), wxYES_NO);
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].window, FakeWindow());
  EXPECT_EQ(posted[0].message, 0x0111u);  // the command message
  EXPECT_EQ(posted[0].wParam, 0xE141u);
  EXPECT_EQ(posted[0].lParam, 0);
}

// Through the platform layer, on the simulated desktop: the older version is
// another process whose main window carries the old class.
struct OlderVersionOnTheDesktop : OlderVersion {
  HWND older = nullptr;
  void SetUp() override {
    namespace sim = platform::sim;
    sim::Reset();
    sim::WindowSpec frame;
    frame.title = L"Pastiq";
    frame.visible = false;
    const testing_sim::App app = testing_sim::AddApp(L"/opt/pastiq-old/pastiq", kOlderMainFrameClass, {}, frame);
    older = app.frame;
    frame.thread = app.thread;
    frame.className = L"PastiqMainFrame";  // a near miss: not the older version
    sim::AddWindow(frame);
  }
};

TEST_F(OlderVersionOnTheDesktop, YesPostsTheExitCommandToItsWindow) {
  EXPECT_TRUE(CloseOlderVersion());
  EXPECT_EQ(boxes.size(), 1u);
  platform::sim::Settle();
  const auto received = platform::sim::Messages(older);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(received[0].wParam, 0xE141u);
  EXPECT_EQ(received[0].lParam, 0);
  EXPECT_FALSE(received[0].sent) << "posted, not sent: the start does not wait for it";
}

TEST_F(OlderVersionOnTheDesktop, NoLeavesItAlone) {
  answer = wxNO;
  EXPECT_FALSE(CloseOlderVersion());
  platform::sim::Settle();
  EXPECT_TRUE(platform::sim::Messages(older).empty());
}

TEST_F(OlderVersionOnTheDesktop, ANearMissOfTheClassIsNotTheOlderVersion) {
  platform::sim::RemoveWindow(older);
  platform::sim::Settle();
  EXPECT_TRUE(CloseOlderVersion());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OlderVersion, NoEndsTheStartAndPostsNothing) {
  answer = wxNO;
  EXPECT_FALSE(CloseOlderVersion(Desktop()));
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(posted.empty());
}
}  // namespace
