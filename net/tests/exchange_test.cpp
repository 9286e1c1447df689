// Two computers of ours on loopback addresses of their own exchange records,
// record lists and histories.
#include <gtest/gtest.h>

#include "appnotify.h"
#include "net/send.h"
#include "net_fixture.h"

using namespace nettest;

namespace {

struct Exchange : ::testing::Test {
  Peer laptop{"127.0.0.2"};
  Peer desktop{"127.0.0.3"};

  // Until the sender's thread ended (its last notice came).
  bool SenderDone(Peer& from) {
    return RunUntil([&] { return from.NoticeCount(ID_NOTIFY_SENDER_ENDED) > 0 && from.server->GetSenderCount() == 0; });
  }
};

TEST_F(Exchange, ARecordLandsInTheListTheTrustedEntryNames) {
  pq::RecordList& inbox = desktop.AddList("From laptop");
  desktop.Trust("127.0.0.2", "", "From laptop");
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("hello over the wire"), desktop.Where()));
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 1; }));
  EXPECT_EQ(inbox.GetRecord(0)->text, "hello over the wire");
  EXPECT_EQ(inbox.GetRecord(0)->application, "/usr/bin/editor");
  EXPECT_EQ(desktop.Main().GetCount(), 0u);
  ASSERT_TRUE(SenderDone(laptop));
  EXPECT_TRUE(laptop.services.Has("Info: Object sent to 127.0.0.3:" + std::to_string(desktop.Port())));
  EXPECT_EQ(desktop.services.animations, 1);
}

}  // namespace
