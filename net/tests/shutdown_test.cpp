// The end of the program with transfers in flight.
#include <gtest/gtest.h>

#include "appnotify.h"
#include "net/send.h"
#include "net_fixture.h"

using namespace nettest;

namespace {

TEST(Shutdown, WithTransfersInFlightItReturnsAtOnceAndReportsNoFailure) {
  // The default time-outs: only the shut-down can end these transfers soon.
  Peer laptop("127.0.0.2");
  Peer desktop("127.0.0.3");
  desktop.Trust("127.0.0.2", "", "Main");
  // A receiver waiting for a query, one in the middle of a payload.
  RawClient silent, halfway;
  ASSERT_TRUE(silent.Connect("127.0.0.2", desktop.Port(), desktop.address));
  ASSERT_TRUE(halfway.Connect("127.0.0.2", desktop.Port(), desktop.address));
  ASSERT_TRUE(halfway.Handshake() && halfway.Query("me", net::KIND_RECORD));
  ASSERT_EQ(halfway.Reply().result, 0);
  halfway.WriteUInt32(10000);
  halfway.Write(std::string(3000, 'x'));
  // A sender waiting for a reply; one to a port whose queue is full, which
  // never takes its connection.
  ScriptedServer mute("127.0.0.4", [](net::Socket& s) {
    char b[256];
    while (s.Receive(b, sizeof b, std::chrono::steady_clock::now() + 60s) > 0) {
    }
  });
  net::Listener full;
  ASSERT_TRUE(full.Open(net::Endpoint{Address("127.0.0.5"), 0}, 0));
  std::vector<std::unique_ptr<RawClient>> filling;
  for (int i = 0; i < 3; ++i) {
    filling.push_back(std::make_unique<RawClient>());
    filling.back()->socket.Open(net::Endpoint{Address("127.0.0.6"), 0});
    filling.back()->socket.StartConnect(net::Endpoint{Address("127.0.0.5"), full.Port()});
  }
  ASSERT_TRUE(net::SendRecord(desktop.server.get(), TextRecord("to the mute"), mute.Where()));
  ASSERT_TRUE(net::SendRecord(desktop.server.get(), TextRecord("to the full"),
                              NetworkAddress("127.0.0.5", full.Port())));
  ASSERT_TRUE(RunUntil([&] {
    return desktop.server->GetReceiverCount() == 2 && desktop.NoticeValues(ID_NOTIFY_RECEIVE_PROGRESS).size() >= 3 &&
           mute.Connections() == 1;
  }));
  ASSERT_EQ(desktop.server->GetSenderCount(), 2u);
  const std::size_t logged = desktop.services.Count();

  const auto start = std::chrono::steady_clock::now();
  desktop.server->Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_TRUE(desktop.server->IsAppClosing());
  EXPECT_EQ(desktop.server->GetReceiverCount(), 0u);
  EXPECT_EQ(desktop.server->GetSenderCount(), 0u);
  RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_SENDER_ENDED) == 2; });
  EXPECT_EQ(desktop.services.Count(), logged) << "the shut-down was logged as a failed transfer";
  EXPECT_EQ(desktop.NoticeCount(ID_NOTIFY_RECEIVE_FAILED), 0u);
  EXPECT_EQ(desktop.NoticeCount(ID_NOTIFY_SEND_FAILED), 0u);
  EXPECT_EQ(desktop.Main().GetCount(), 0u);

  // A transfer started once it is closing ends before it connects.
  ASSERT_TRUE(net::SendRecord(desktop.server.get(), TextRecord("late"), laptop.Where()));
  ASSERT_TRUE(RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_SEND_DONE) == 3; }));
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_RECEIVER_ENDED), 0u);
  EXPECT_EQ(desktop.services.Count(), logged);
}

TEST(Shutdown, AServerDestroyedUnderRunningTransfersIsNeverReachedByThem) {
  ShortTimeouts timeouts(500ms, 500ms);
  RawClient silent;
  std::unique_ptr<Peer> desktop = std::make_unique<Peer>("127.0.0.3");
  ASSERT_TRUE(silent.Connect("127.0.0.2", desktop->Port(), desktop->address));
  ASSERT_TRUE(RunUntil([&] { return desktop->server->GetReceiverCount() == 1; }));
  // Gone without its shut-down: the receiver still waits for its query.
  desktop->server.reset();
  desktop.reset();
  EXPECT_TRUE(silent.WaitClosed(5s));
  // The receiver's end posts nowhere; a loop turn finds nothing to run.
  RunUntil([] { return false; }, 100ms);
}

}  // namespace
