// Two computers of ours on loopback addresses of their own exchange records,
// record lists and histories; what the receiving side files, refuses and
// tells.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include <boost/make_shared.hpp>
#include <wx/utils.h>

#include "appnotify.h"
#include "cmn/strconv.h"
#include "net/send.h"
#include "net_fixture.h"
#include "options.h"

using namespace nettest;

namespace {

std::string UserName() { return cmn::wx::ToStdString(wxGetUserId()); }

// Until the sender threads of `from` ended (their last notice came).
bool SendersDone(Peer& from, std::size_t count = 1) {
  return RunUntil([&] {
    return from.NoticeCount(ID_NOTIFY_SENDER_ENDED) >= count && from.server->GetSenderCount() == 0;
  });
}
// Until the receivers of `at` ended.
bool ReceiversDone(Peer& at, std::size_t count = 1) {
  return RunUntil([&] {
    return at.NoticeCount(ID_NOTIFY_RECEIVER_ENDED) >= count && at.server->GetReceiverCount() == 0;
  });
}

// Until the receivers of `at` ended, with the main loop standing still: what
// they received is queued, its notices not handled.
bool ReceiversEndedWithoutTheLoop(Peer& at) {
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (at.server->GetReceiverCount() > 0 && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(1ms);
  return at.server->GetReceiverCount() == 0;
}

// A whole transfer of a frame body from a raw client; the reply's result.
int SendRaw(const std::string& from, Peer& to, int kind, const cmn::mblock<char>& body,
            const std::string& user = "someone") {
  RawClient c;
  if (!c.Connect(from, to.Port(), to.address) || !c.Handshake() || !c.Query(user, kind)) return -2;
  const int result = c.Reply().result;
  if (result == net::RESULT_ACCEPTED) c.WriteFrame(body);
  c.WaitClosed();
  return result;
}

struct Exchange : ::testing::Test {
  Peer laptop{"127.0.0.2"};
  Peer desktop{"127.0.0.3"};
  pq::RecordList& inbox = desktop.AddList("From laptop");

  Exchange() { desktop.Trust("127.0.0.2", "", "From laptop"); }
  std::string DesktopAt() const { return "127.0.0.3:" + std::to_string(desktop.Port()); }
};

TEST_F(Exchange, ARecordLandsInTheListTheTrustedEntryNames) {
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("hello over the wire"), desktop.Where()));
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 1; }));
  EXPECT_EQ(inbox.GetRecord(0)->text, "hello over the wire");
  EXPECT_EQ(inbox.GetRecord(0)->application, "/usr/bin/editor");
  EXPECT_EQ(inbox.GetRecord(0)->textIndex, 0);
  EXPECT_EQ(desktop.Main().GetCount(), 0u);
  ASSERT_TRUE(SendersDone(laptop));
  EXPECT_EQ(laptop.services.TransferLines(), std::vector<std::string>{"Info: Object sent to " + DesktopAt()});
  EXPECT_EQ(desktop.services.animations, 1);
}

TEST_F(Exchange, ARecordListKeepsItsOrderAtTheFrontOfTheTarget) {
  inbox.AddRecord(TextRecord("older"));
  pq::RecordList sent;
  sent.name = "Work";
  for (const char* t : {"r3", "r2", "r1"}) sent.AddRecord(TextRecord(t));  // r1 first
  ASSERT_TRUE(net::SendRecordList(laptop.server.get(), &sent, desktop.Where()));
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 4; }));
  EXPECT_EQ(Texts(inbox), (std::vector<std::string>{"r1", "r2", "r3", "older"}));
  // One run for the list, one for the records it brought.
  EXPECT_EQ(desktop.services.animations, 2);
  EXPECT_EQ(sent.GetCount(), 3u) << "the sent list is the caller's, untouched";
}

TEST_F(Exchange, AnEmptyListIsSentAndStillAnimatesWhereItsTargetExists) {
  pq::RecordList empty;
  empty.name = "Nothing";
  ASSERT_TRUE(net::SendRecordList(laptop.server.get(), &empty, desktop.Where()));
  ASSERT_TRUE(SendersDone(laptop));
  EXPECT_TRUE(laptop.services.Has("Info: Object sent to " + DesktopAt()));
  ASSERT_TRUE(RunUntil([&] { return desktop.services.animations == 1; }));
  EXPECT_EQ(inbox.GetCount(), 0u);
}

TEST_F(Exchange, AHistoryBringsEveryRecordOfEveryListIntoTheOneTarget) {
  pq::History sent;
  sent.CreateDefaultLists();
  sent.GetMainList()->AddRecord(TextRecord("m2"));
  sent.GetMainList()->AddRecord(TextRecord("m1"));
  auto* work = new pq::RecordList;
  work->name = "Work";
  const pq::RecordPtr shared = TextRecord("w1");
  work->AddRecord(shared);
  sent.GetMainList()->AddRecord(shared);  // one record in two lists goes in once
  sent.InsertRecordList(work, 1);
  ASSERT_EQ(SendRaw("127.0.0.2", desktop, net::KIND_HISTORY, net::EncodeObject(sent)), net::RESULT_ACCEPTED);
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 3; }));
  EXPECT_EQ(Texts(inbox), (std::vector<std::string>{"w1", "m1", "m2"}));
  EXPECT_EQ(desktop.services.animations, 1);

  // A history whose lists are all empty brings nothing and does not animate.
  pq::History empty;
  empty.CreateDefaultLists();
  ASSERT_EQ(SendRaw("127.0.0.2", desktop, net::KIND_HISTORY, net::EncodeObject(empty)), net::RESULT_ACCEPTED);
  ASSERT_TRUE(ReceiversDone(desktop, 2));
  RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_HISTORY_RECEIVED) == 2; });
  EXPECT_EQ(desktop.services.animations, 1);
  EXPECT_EQ(inbox.GetCount(), 3u);
}

TEST_F(Exchange, EachClientsRecordsGoToTheListOfItsOwnEntry) {
  Peer tablet{"127.0.0.4"};
  pq::RecordList& fromTablet = desktop.AddList("From tablet");
  desktop.Trust("127.0.0.4", UserName(), "From tablet");
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("from the laptop"), desktop.Where()));
  ASSERT_TRUE(net::SendRecord(tablet.server.get(), TextRecord("from the tablet"), desktop.Where()));
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 1 && fromTablet.GetCount() == 1; }));
  EXPECT_EQ(inbox.GetRecord(0)->text, "from the laptop");
  EXPECT_EQ(fromTablet.GetRecord(0)->text, "from the tablet");
}

TEST_F(Exchange, WhatTheSenderHoldsIsCopiedWhenItIsSent) {
  const pq::RecordPtr record = TextRecord("as it was");
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), record, desktop.Where()));
  record->text = "changed at once";
  ASSERT_TRUE(RunUntil([&] { return inbox.GetCount() == 1; }));
  EXPECT_EQ(inbox.GetRecord(0)->text, "as it was");
}

TEST_F(Exchange, RecordsWithoutATargetListAreDropped) {
  TrustedClientList clients;
  clients.push_back(TrustedClient("127.0.0.2", "", "Gone"));
  clients.push_back(TrustedClient("127.0.0.5", "", "Search"));  // a search list is no target
  desktop.config.SetTrustedClients(clients);
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("nowhere"), desktop.Where()));
  ASSERT_EQ(SendRaw("127.0.0.5", desktop, net::KIND_RECORD, net::EncodeObject(*TextRecord("lost"))),
            net::RESULT_ACCEPTED);
  ASSERT_TRUE(RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_RECORD_RECEIVED) == 2; }));
  for (pq::RecordList* list : desktop.history.GetLists()) EXPECT_EQ(list->GetCount(), 0u) << list->name;
  EXPECT_EQ(desktop.services.animations, 0);
}

TEST_F(Exchange, RecordsQueuedBeforeTheirNoticeIsHandledAreAllFiledByTheFirst) {
  std::vector<unsigned> countAtNotice;
  desktop.server->Bind(
      EVT_APP_NOTIFY,
      [&](wxCommandEvent& e) {
        countAtNotice.push_back(inbox.GetCount());
        e.Skip();
      },
      ID_NOTIFY_RECORD_RECEIVED);
  // Three clients get as far as the reply; then the loop stands still while
  // their payloads arrive and the receivers queue them.
  RawClient clients[3];
  for (RawClient& c : clients) {
    ASSERT_TRUE(c.Connect("127.0.0.2", desktop.Port(), desktop.address));
    c.WriteUInt32(net::HANDSHAKE_MAGIC);
    ASSERT_TRUE(c.Query("u", net::KIND_RECORD));
  }
  ASSERT_TRUE(RunUntil([&] { return desktop.server->GetReceiverCount() == 3; }));
  const char* texts[] = {"a", "b", "c"};
  for (RawClient& c : clients) {
    ASSERT_EQ(net::ReadUInt32(c.socket, std::chrono::steady_clock::now() + 5s), net::HANDSHAKE_MAGIC);
    ASSERT_EQ(c.Reply().result, net::RESULT_ACCEPTED);
  }
  for (int i = 0; i < 3; ++i) clients[i].WriteFrame(net::EncodeObject(*TextRecord(texts[i])));
  ASSERT_TRUE(ReceiversEndedWithoutTheLoop(desktop));
  ASSERT_TRUE(RunUntil([&] { return countAtNotice.size() == 3; }));
  EXPECT_EQ(countAtNotice, (std::vector<unsigned>{0, 3, 3}));
  std::vector<std::string> got = Texts(inbox);
  EXPECT_EQ(std::set<std::string>(got.begin(), got.end()), (std::set<std::string>{"a", "b", "c"}));
}

// The program saves at the end of a session as soon as the signal comes,
// which may be before the notice of a record that has just arrived.
TEST_F(Exchange, ARecordWhoseNoticeIsStillQueuedIsFiledForTheSaveAtTheEnd) {
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.2", desktop.Port(), desktop.address));
  client.WriteUInt32(net::HANDSHAKE_MAGIC);
  ASSERT_TRUE(client.Query("u", net::KIND_RECORD));
  ASSERT_TRUE(RunUntil([&] { return desktop.server->GetReceiverCount() == 1; }));
  ASSERT_EQ(net::ReadUInt32(client.socket, std::chrono::steady_clock::now() + 5s), net::HANDSHAKE_MAGIC);
  ASSERT_EQ(client.Reply().result, net::RESULT_ACCEPTED);
  client.WriteFrame(net::EncodeObject(*TextRecord("just before the end")));
  ASSERT_TRUE(ReceiversEndedWithoutTheLoop(desktop));
  ASSERT_EQ(inbox.GetCount(), 0u);

  desktop.server->FileReceived();
  ASSERT_EQ(inbox.GetCount(), 1u);
  EXPECT_EQ(inbox.GetRecord(0)->text, "just before the end");
  // Its notice, handled later, finds nothing more to file.
  ASSERT_TRUE(ReceiversDone(desktop));
  EXPECT_EQ(inbox.GetCount(), 1u);
}

// --- Refusals ---------------------------------------------------------------

struct RefusalCase {
  const char* what;
  int version;
  bool trusted;     // an entry for the client's address
  const char* entryUser;
  int kind;
  int result;
  int flags;
};

TEST_F(Exchange, TheReplyTestsVersionThenTrustThenKind) {
  const RefusalCase cases[] = {
      {"wrong version, untrusted, unknown kind", 7, false, "", 7, 1, 0},
      {"no version at all", -1, true, "", 0, 1, 0},
      {"untrusted", 3000003, false, "", 0, 3, 4},
      {"untrusted with an unknown kind", 3000003, false, "", 7, 3, 4},
      {"trusted only as another user", 3000003, true, "mallory", 0, 3, 4},
      {"trusted, unknown kind", 3000003, true, "", 7, 2, 0},
      {"trusted, any user", 3000003, true, "", 1, 0, 0},
      {"trusted as this user", 3000003, true, "carol", 2, 0, 0},
  };
  for (const RefusalCase& c : cases) {
    TrustedClientList clients;
    if (c.trusted) clients.push_back(TrustedClient("127.0.0.6", c.entryUser, "From laptop"));
    desktop.config.SetTrustedClients(clients);
    RawClient client;
    ASSERT_TRUE(client.Connect("127.0.0.6", desktop.Port(), desktop.address)) << c.what;
    ASSERT_TRUE(client.Handshake()) << c.what;
    ASSERT_TRUE(client.Query("carol", c.kind, c.version)) << c.what;
    const net::ReplyInfo reply = client.Reply();
    EXPECT_EQ(reply.result, c.result) << c.what;
    EXPECT_EQ(reply.flags, c.flags) << c.what;
    EXPECT_EQ(reply.version, 3000003) << c.what;
    if (c.result != 0) {
      EXPECT_TRUE(client.WaitClosed()) << c.what << ": the connection stays open";
    }
  }
  ASSERT_TRUE(ReceiversDone(desktop, std::size(cases)));
  for (pq::RecordList* list : desktop.history.GetLists()) EXPECT_EQ(list->GetCount(), 0u);
  // Refusals leave no log entry on the receiving side.
  EXPECT_EQ(desktop.services.Count(), 1u) << "only the start of the server";
}

TEST_F(Exchange, AnEmptyQueryIsAnsweredAsTheWrongVersion) {
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.2", desktop.Port(), desktop.address));
  ASSERT_TRUE(client.Handshake());
  client.WriteUInt32(0);
  const net::ReplyInfo reply = client.Reply();
  EXPECT_EQ(reply.result, net::RESULT_WRONG_VERSION);
  EXPECT_EQ(reply.version, 3000003);
}

TEST_F(Exchange, AWrongHandshakeGetsNoAnswerAtAll) {
  RawClient client;
  ASSERT_TRUE(client.Connect("127.0.0.2", desktop.Port(), desktop.address));
  client.Write(std::string("\xAC\x87\x06\x0B", 4));
  EXPECT_EQ(client.Reply().result, -1) << "something was sent back";
  EXPECT_TRUE(client.WaitClosed()) << "the connection was not closed";
  ASSERT_TRUE(RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_RECEIVE_FAILED) == 1; }));
}

TEST_F(Exchange, TheSenderLogsEveryRefusalAsAFailure) {
  // Untrusted: the desktop trusts someone else now.
  desktop.config.SetTrustedClients(TrustedClientList());
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("refused"), desktop.Where()));
  ASSERT_TRUE(SendersDone(laptop));
  EXPECT_EQ(laptop.services.TransferLines(), std::vector<std::string>{"Info: Failed to send object to " + DesktopAt()});
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_SEND_FAILED), 1u);
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_SEND_DONE), 1u);
  ASSERT_TRUE(ReceiversDone(desktop));
  EXPECT_EQ(inbox.GetCount(), 0u);
}

TEST_F(Exchange, SendingWhereNothingListensIsLoggedAsAFailure) {
  const NetworkAddress where = desktop.Where();
  const std::string at = DesktopAt();
  desktop.server->Stop();
  ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("into the void"), where));
  ASSERT_TRUE(SendersDone(laptop));
  EXPECT_EQ(laptop.services.TransferLines(), std::vector<std::string>{"Info: Failed to send object to " + at});
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_TRANSFER_START), 1u);
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_SEND_FAILED), 1u);
  EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_SEND_DONE), 1u);
  EXPECT_FALSE(net::SendRecord(nullptr, TextRecord("no server"), where));
}

TEST_F(Exchange, AHostThatDoesNotResolveFailsLikeARefusedConnection) {
  const struct {
    std::string host;
  } cases[] = {{""}, {"no-such-host.invalid"}};
  std::size_t n = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord("x"), NetworkAddress(c.host, 45689)));
    ASSERT_TRUE(SendersDone(laptop, ++n)) << c.host;
    EXPECT_TRUE(laptop.services.Has("Info: Failed to send object to " + c.host + ":45689")) << c.host;
  }
}

// --- Pieces of the payload -------------------------------------------------

// A record whose frame body is exactly `size` bytes (its text is random, so
// the body grows by about a byte a byte).
pq::RecordPtr RecordOfEncodedSize(std::size_t size) {
  for (unsigned seed = 1; seed < 100; ++seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size / 2) text += static_cast<char>('!' + random() % 90);
    while (true) {
      text += static_cast<char>('!' + random() % 90);
      auto r = boost::make_shared<pq::Record>();
      r->text = text;
      const std::size_t got = net::EncodeObject(*r).size();
      if (got == size) return r;
      if (got > size) break;
    }
  }
  return nullptr;
}

TEST_F(Exchange, ThePayloadMovesInPiecesOf1024BytesWithAProgressNoticeAfterEach) {
  const struct {
    std::size_t size;
    std::vector<int> received;  // notice 12
    std::vector<int> sent;      // notice 52
  } cases[] = {
      {500, {0}, {0}},
      {1024, {0}, {0}},
      {1025, {0, 1024, 1025}, {0, 1024, 1025}},
      {2048, {0, 1024, 2048}, {0, 1024, 2048}},
      {3000, {0, 1024, 2048, 3000}, {0, 1024, 2048, 3000}},
  };
  for (const auto& c : cases) {
    laptop.notices.clear();
    desktop.notices.clear();
    const pq::RecordPtr record = RecordOfEncodedSize(c.size);
    ASSERT_TRUE(record) << c.size;
    ASSERT_TRUE(net::SendRecord(laptop.server.get(), record, desktop.Where()));
    ASSERT_TRUE(SendersDone(laptop)) << c.size;
    ASSERT_TRUE(RunUntil([&] { return desktop.NoticeCount(ID_NOTIFY_RECORD_RECEIVED) == 1; })) << c.size;
    EXPECT_EQ(laptop.NoticeValues(ID_NOTIFY_TRANSFER_START), std::vector<int>{static_cast<int>(c.size)});
    EXPECT_EQ(laptop.NoticeValues(ID_NOTIFY_SEND_PROGRESS), c.sent) << c.size;
    EXPECT_EQ(desktop.NoticeValues(ID_NOTIFY_TRANSFER_START), std::vector<int>{static_cast<int>(c.size)});
    EXPECT_EQ(desktop.NoticeValues(ID_NOTIFY_RECEIVE_PROGRESS), c.received) << c.size;
    // The receiver's notices come in their order: start, progress, done, the record.
    std::vector<int> order;
    for (const auto& n : desktop.notices)
      if (n.first >= ID_NOTIFY_RECORD_RECEIVED && n.first <= ID_NOTIFY_RECEIVE_DONE &&
          (order.empty() || order.back() != n.first))
        order.push_back(n.first);
    EXPECT_EQ(order, (std::vector<int>{ID_NOTIFY_TRANSFER_START, ID_NOTIFY_RECEIVE_PROGRESS, ID_NOTIFY_RECEIVE_DONE,
                                       ID_NOTIFY_RECORD_RECEIVED}))
        << c.size;
    EXPECT_EQ(inbox.GetRecord(0)->text, record->text);
  }
}

// --- Listening -------------------------------------------------------------

int FreePort() {
  net::Listener l;
  l.Open(net::Endpoint{Address("127.0.0.1"), 0});
  return l.Port();
}

TEST(Listening, FollowsTheReceivingSwitchAndThePort) {
  Peer peer("127.0.0.7", false);
  EXPECT_TRUE(peer.server->StartIfEnabled());
  EXPECT_FALSE(peer.server->IsListening());

  const int first = FreePort();
  peer.config.options.Set(OPT_RECEIVER_PORT, first);
  EXPECT_FALSE(peer.server->IsListening()) << "a port change while receiving is off starts nothing";
  peer.config.options.Set(OPT_RECEIVE_ENABLED, true);
  ASSERT_TRUE(peer.server->IsListening());
  EXPECT_EQ(peer.server->GetPort(), first);
  EXPECT_EQ(peer.services.Lines(), std::vector<std::string>{"Info: Network server (record receiver) started successfully."});

  const int second = FreePort();
  peer.config.options.Set(OPT_RECEIVER_PORT, second);
  EXPECT_EQ(peer.server->GetPort(), second);
  RawClient client;
  EXPECT_TRUE(client.Connect("127.0.0.2", second, "127.0.0.7"));

  peer.config.options.Set(OPT_RECEIVE_ENABLED, false);
  EXPECT_FALSE(peer.server->IsListening());
  EXPECT_FALSE(peer.server->Stop());
  RawClient refused;
  EXPECT_FALSE(refused.Connect("127.0.0.2", second, "127.0.0.7"));
}

TEST(Listening, APortThatCannotBeBoundIsAWarning) {
  net::Listener taken;
  ASSERT_TRUE(taken.Open(net::Endpoint{Address("127.0.0.8"), 0}));
  for (int port : {taken.Port(), 65536, -1}) {
    Peer peer("127.0.0.8", false);
    peer.config.options.Set(OPT_RECEIVER_PORT, port);
    peer.config.options.Set(OPT_RECEIVE_ENABLED, true);
    EXPECT_FALSE(peer.server->IsListening()) << port;
    EXPECT_FALSE(peer.server->StartIfEnabled()) << port;
    EXPECT_TRUE(peer.services.Has("Warning: Failed to start network server (record receiver).")) << port;
  }
}

TEST(Listening, ARestartListensAgainAtOnceOnTheSamePort) {
  Peer sender("127.0.0.2");
  int port = 0;
  {
    Peer first("127.0.0.9");
    first.Trust("127.0.0.2", "", "Main");
    port = first.Port();
    ASSERT_TRUE(net::SendRecord(sender.server.get(), TextRecord("one"), first.Where()));
    ASSERT_TRUE(RunUntil([&] { return first.Main().GetCount() == 1; }));
  }  // its connection is left in TIME_WAIT
  Peer second("127.0.0.9", false);
  second.config.options.Set(OPT_RECEIVER_PORT, port);
  second.config.options.Set(OPT_RECEIVE_ENABLED, true);
  EXPECT_TRUE(second.server->IsListening());
}

}  // namespace
