#include "appnotify.h"

#include <gtest/gtest.h>

#include <thread>
#include <utility>
#include <vector>

#include "gui_util.h"

namespace {
struct Receiver : wxEvtHandler {
  std::vector<std::pair<int, int>> seen;  // id, value
  Receiver() {
    Bind(EVT_APP_NOTIFY, [this](wxCommandEvent& e) { seen.emplace_back(e.GetId(), e.GetInt()); },
         ID_NOTIFY_NET_FIRST, ID_NOTIFY_NET_LAST);
  }
};

// The same binding through a static event table, as the windows use it.
class TableReceiver : public wxEvtHandler {
 public:
  std::vector<int> seen;

 private:
  void OnOne(wxCommandEvent& e) { seen.push_back(e.GetId()); }
  void OnRange(wxCommandEvent& e) { seen.push_back(-e.GetId()); }
  wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(TableReceiver, wxEvtHandler)
  EVT_APP_NOTICE(ID_NOTIFY_STARTUP, TableReceiver::OnOne)
  EVT_APP_NOTICE_RANGE(ID_NOTIFY_NET_FIRST, ID_NOTIFY_NET_LAST, TableReceiver::OnRange)
wxEND_EVENT_TABLE()

TEST(Notice, EventTableEntriesTakeTheirIds) {
  TableReceiver receiver;
  PostNotifyEvent(&receiver, ID_NOTIFY_STARTUP);
  PostNotifyEvent(&receiver, ID_NOTIFY_LIST_CHANGED);  // bound to nothing here
  PostNotifyEvent(&receiver, ID_NOTIFY_RECORD_RECEIVED);
  DispatchPending();
  const std::vector<int> expected = {ID_NOTIFY_STARTUP, -ID_NOTIFY_RECORD_RECEIVED};
  EXPECT_EQ(receiver.seen, expected);
}

TEST(Notice, ArrivesLaterWithItsIdAndValue) {
  Receiver receiver;
  PostNotifyEvent(&receiver, ID_NOTIFY_TRANSFER_START, 1234);
  PostNotifyEvent(&receiver, ID_NOTIFY_SEND_DONE);
  EXPECT_TRUE(receiver.seen.empty()) << "handled on the spot instead of queued";
  DispatchPending();
  const std::vector<std::pair<int, int>> expected = {{ID_NOTIFY_TRANSFER_START, 1234}, {ID_NOTIFY_SEND_DONE, 0}};
  EXPECT_EQ(receiver.seen, expected);
}

TEST(Notice, IdsOutsideTheBoundRangeAreNotTaken) {
  Receiver receiver;
  PostNotifyEvent(&receiver, ID_NOTIFY_STARTUP);
  PostNotifyEvent(&receiver, ID_NOTIFY_SENDER_ENDED);
  DispatchPending();
  const std::vector<std::pair<int, int>> expected = {{ID_NOTIFY_SENDER_ENDED, 0}};
  EXPECT_EQ(receiver.seen, expected);
}

TEST(Notice, NullHandlerQueuesNothing) {
  DispatchPending();
  ASSERT_FALSE(wxTheApp->HasPendingEvents());
  std::vector<int> seen;
  auto onApp = [&seen](wxCommandEvent& e) { seen.push_back(e.GetId()); };
  wxTheApp->Bind(EVT_APP_NOTIFY, onApp);
  PostNotifyEvent(nullptr, ID_NOTIFY_STARTUP, 1);
  // Queued nowhere: not on the application, not on any other handler.
  EXPECT_FALSE(wxTheApp->HasPendingEvents());
  DispatchPending();
  wxTheApp->Unbind(EVT_APP_NOTIFY, onApp);
  EXPECT_TRUE(seen.empty());
}

TEST(Notice, PostedFromOtherThreadsArriveOnTheGuiThreadInOrder) {
  Receiver receiver;
  const auto gui = std::this_thread::get_id();
  bool allOnGui = true;
  receiver.Bind(EVT_APP_NOTIFY, [&](wxCommandEvent& e) {
    allOnGui = allOnGui && std::this_thread::get_id() == gui;
    e.Skip();
  });
  constexpr int kEach = 200;
  std::thread a([&] { for (int i = 0; i < kEach; ++i) PostNotifyEvent(&receiver, ID_NOTIFY_RECEIVE_PROGRESS, i); });
  std::thread b([&] { for (int i = 0; i < kEach; ++i) PostNotifyEvent(&receiver, ID_NOTIFY_SEND_PROGRESS, i); });
  a.join();
  b.join();
  DispatchPending();
  ASSERT_EQ(receiver.seen.size(), 2u * kEach);
  int nextA = 0, nextB = 0;
  for (const auto& [id, value] : receiver.seen) {
    if (id == ID_NOTIFY_RECEIVE_PROGRESS) EXPECT_EQ(value, nextA++);
    else EXPECT_EQ(value, nextB++);
  }
  EXPECT_TRUE(allOnGui);
}
}  // namespace
