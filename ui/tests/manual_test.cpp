#include "manual.h"

#include <gtest/gtest.h>

#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>

#include "gui_util.h"
#include "msgbox_recorder.h"
#include "startup.h"

namespace {
TEST(Manual, TheBuildPutsItBesideTheProgram) {
  const wxString file = FindManualFile();
  EXPECT_TRUE(wxFileName::FileExists(file)) << file;
  EXPECT_EQ(wxFileName(file).GetPath(), GetProgramDirectory() + "/manual");
}

TEST(Manual, AMissingManualIsReportedAndMakesNoController) {
  MessageBoxRecorder messages;
  wxHtmlHelpController* controller = nullptr;
  ShowManual(&controller, "/nonexistent/manual/pastiq.hhp");
  EXPECT_EQ(controller, nullptr);
  ASSERT_EQ(messages.boxes.size(), 1u);
  EXPECT_TRUE(messages.boxes[0].message.Contains("/nonexistent/manual/pastiq.hhp")) << messages.boxes[0].message;
  EXPECT_EQ(messages.boxes[0].caption, "Pastiq");
  EXPECT_TRUE(messages.boxes[0].style & wxICON_ERROR);
}

TEST(Manual, ABrokenManualIsReportedToo) {
  MessageBoxRecorder messages;
  wxHtmlHelpController* controller = nullptr;
  ShowManual(&controller, GetProgramDirectory());  // a folder, no help project
  EXPECT_EQ(controller, nullptr);
  EXPECT_EQ(messages.boxes.size(), 1u);
}

TEST(Manual, ShowsItsContentsAndKeepsOneController) {
  MessageBoxRecorder messages;
  wxHtmlHelpController* controller = nullptr;
  ShowManual(&controller);
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(messages.boxes.empty());
  wxHtmlHelpFrame* frame = controller->GetFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->IsShown());
  wxHtmlHelpController* first = controller;
  ShowManual(&controller);
  EXPECT_EQ(controller, first);
  delete controller;  // closes its window
  DispatchPending();
}
}  // namespace
