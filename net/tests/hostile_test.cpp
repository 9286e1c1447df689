// Peers that break the protocol: each is dropped within its bounds while the
// other side goes on serving a good peer at the same time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <thread>

#include <wx/mstream.h>
#include <wx/zstream.h>

#include "appnotify.h"
#include "net/send.h"
#include "net_fixture.h"
#include "servercore.h"

using namespace nettest;

namespace {

constexpr auto kControl = 1000ms;
constexpr auto kProgress = 1000ms;
// What a drop may take beyond its own deadline on a loaded machine.
constexpr auto kSlack = 3000ms;

// Writes `bytes` on a copy of the socket, one every `pause`, until they are
// out or the connection is gone.
void Drip(net::Socket& socket, std::string bytes, std::chrono::milliseconds pause) {
  std::thread([fd = dup(socket.Fd()), bytes, pause] {
    net::Socket s(fd);
    const auto end = std::chrono::steady_clock::now() + 10s;
    for (char byte : bytes) {
      if (std::chrono::steady_clock::now() > end || s.Send(&byte, 1, end) != 1) return;
      std::this_thread::sleep_for(pause);
    }
  }).detach();
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

struct Hostile : ::testing::Test {
  ShortTimeouts timeouts{kControl, kProgress};
  Peer laptop{"127.0.0.2"};
  Peer desktop{"127.0.0.3"};
  pq::RecordList& inbox = desktop.AddList("Inbox");
  const std::string hostileAddress = "127.0.0.5";

  Hostile() {
    desktop.Trust("127.0.0.2", "", "Inbox");
    desktop.Trust(hostileAddress, "", "Inbox");  // trusted, to reach the payload
  }

  // The good client's record arrives while the attack goes on.
  void GoodClientIsServed(const std::string& text) {
    ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord(text), desktop.Where()));
    EXPECT_TRUE(RunUntil([&] {
      for (const pq::RecordPtr& r : inbox.GetRecords())
        if (r->text == text) return true;
      return false;
    })) << "the good client was not served";
  }

  // Up to the accepted reply, as a trusted client.
  bool Accepted(RawClient& c, int kind = net::KIND_RECORD) {
    return c.Connect(hostileAddress, desktop.Port(), desktop.address) && c.Handshake() && c.Query("eve", kind) &&
           c.Reply().result == net::RESULT_ACCEPTED;
  }
};

struct Attack {
  const char* what;
  // Runs the attack up to where the server must drop it.
  std::function<bool(Hostile&, RawClient&)> start;
  // How long the drop may take.
  std::chrono::milliseconds within;
  bool logsReadFailure;
};

TEST_F(Hostile, EveryAttackIsDroppedWithinItsBoundsWhileAGoodClientIsServed) {
  const Attack attacks[] = {
      {"a query length above its cap",
       [](Hostile& h, RawClient& c) {
         if (!c.Connect(h.hostileAddress, h.desktop.Port(), h.desktop.address) || !c.Handshake()) return false;
         c.WriteUInt32(0xFFFFFFFFu);
         return true;
       },
       kSlack, false},
      {"a payload length above its cap",
       [](Hostile& h, RawClient& c) {
         if (!h.Accepted(c)) return false;
         c.WriteUInt32(0xFFFFFFF0u);
         return true;
       },
       kSlack, false},
      {"a query that inflates without end",
       [](Hostile& h, RawClient& c) {
         // Made before the connection: its deadline is short.
         const cmn::mblock<char> bomb =
             Deflate("22 serialization::archive 18 0 0 20000000 " + std::string(20000000, 'a') + " 0 3000003 0 1");
         if (!c.Connect(h.hostileAddress, h.desktop.Port(), h.desktop.address) || !c.Handshake()) return false;
         c.WriteFrame(bomb);
         return true;
       },
       kSlack, true},
      {"a payload that is no archive",
       [](Hostile& h, RawClient& c) {
         if (!h.Accepted(c)) return false;
         c.WriteFrame(Deflate("22 serialization::archive 18 1 0 \nnonsense"));
         return true;
       },
       kSlack, true},
      {"a history whose list names a class id never announced",
       [](Hostile& h, RawClient& c) {
         pq::History history;
         history.CreateDefaultLists();
         history.GetMainList()->AddRecord(TextRecord("forged"));
         std::string text = Inflate(net::EncodeObject(history));
         // The search list's pointer, the second of the vector, names class 9.
         const std::size_t at = text.find(" 10 SearchList");
         if (at == std::string::npos) return false;
         const std::size_t id = text.rfind(' ', at - 1);
         text.replace(id + 1, at - id - 1, "9");
         const cmn::mblock<char> forged = Deflate(text);
         if (!h.Accepted(c, net::KIND_HISTORY)) return false;
         c.WriteFrame(forged);
         return true;
       },
       kSlack, true},
      {"a query dripped a byte at a time",
       [](Hostile& h, RawClient& c) {
         if (!c.Connect(h.hostileAddress, h.desktop.Port(), h.desktop.address) || !c.Handshake()) return false;
         net::QueryInfo q;
         q.user = "eve";
         q.kind = 0;
         q.version = 3000003;
         Drip(c.socket, Frame(net::EncodeObject(q)), 100ms);
         return true;
       },
       kControl + kSlack, false},
      {"a payload dripped a byte at a time",
       [](Hostile& h, RawClient& c) {
         if (!h.Accepted(c)) return false;
         c.WriteUInt32(5000);
         Drip(c.socket, std::string(5000, 'x'), 20ms);
         return true;
       },
       kProgress + kSlack, false},
      {"a peer that says nothing",
       [](Hostile& h, RawClient& c) { return c.Connect(h.hostileAddress, h.desktop.Port(), h.desktop.address); },
       kControl + kSlack, false},
      {"a payload that stops after its length",
       [](Hostile& h, RawClient& c) {
         if (!h.Accepted(c)) return false;
         c.WriteUInt32(400u << 20);
         c.Write(std::string(3000, 'x'));
         return true;
       },
       kProgress + kSlack, false},
  };
  int n = 0;
  for (const Attack& a : attacks) {
    const std::size_t logged = desktop.services.Count();
    const auto start = std::chrono::steady_clock::now();
    RawClient hostile;
    ASSERT_TRUE(a.start(*this, hostile)) << a.what;
    GoodClientIsServed("good " + std::to_string(++n));
    EXPECT_TRUE(hostile.WaitClosed(a.within + 2s)) << a.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, a.within) << a.what;
    ASSERT_TRUE(RunUntil([&] { return desktop.server->GetReceiverCount() == 0; })) << a.what;
    EXPECT_EQ(inbox.GetCount(), static_cast<unsigned>(n)) << a.what << ": something of it was added";
    const std::vector<std::string> lines = desktop.services.Lines();
    const bool readFailure = lines.size() > logged && lines.back() == "Info: Failed to read data received from 127.0.0.5";
    EXPECT_EQ(readFailure, a.logsReadFailure) << a.what;
  }
}

TEST_F(Hostile, APayloadIsHeldOnlyAsFarAsItHasArrived) {
  RawClient hostile;
  ASSERT_TRUE(Accepted(hostile));
  const long before = ResidentKiB();
  hostile.WriteUInt32(500u << 20);  // announced, never sent
  hostile.Write(std::string(2048, 'x'));
  ASSERT_TRUE(RunUntil([&] { return desktop.NoticeValues(ID_NOTIFY_RECEIVE_PROGRESS).size() >= 3; }));
  EXPECT_LT(ResidentKiB() - before, 20 * 1024) << "the announced length was allocated";
  EXPECT_TRUE(hostile.WaitClosed(kProgress + kSlack));
}

TEST_F(Hostile, FiveHundredConnectionsAtOnceAreHeldWithinTheCapsAndLockNoTrustedPeerOut) {
  const struct {
    int addresses;
    std::size_t most;  // receivers at once, the good client's included
  } cases[] = {
      {1, net::ServerCore::kMaxReceiversPerPeer + 1},
      // At the total cap the oldest of those still waiting for a query are
      // woken to end; a few may still be ending when the next ones come.
      {100, 2 * net::ServerCore::kMaxReceivers},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<RawClient>> flood;
    for (int i = 0; i < 500; ++i) {
      auto client = std::make_unique<RawClient>();
      const std::string from = "127.0.1." + std::to_string(1 + i % c.addresses);
      ASSERT_TRUE(client->socket.Open(net::Endpoint{Address(from), 0}));
      ASSERT_TRUE(client->socket.StartConnect(net::Endpoint{Address(desktop.address), desktop.Port()}));
      flood.push_back(std::move(client));
    }
    std::size_t most = 0;
    const auto watch = [&] { most = std::max(most, desktop.server->GetReceiverCount()); };
    // Let the flood fill the server first.
    RunUntil([&] {
      watch();
      return false;
    }, 300ms);
    const std::string text = "through the flood " + std::to_string(++n);
    ASSERT_TRUE(net::SendRecord(laptop.server.get(), TextRecord(text), desktop.Where()));
    EXPECT_TRUE(RunUntil([&] {
      watch();
      return inbox.GetCount() == static_cast<unsigned>(n) && inbox.GetRecord(0)->text == text;
    })) << c.addresses << " addresses: the trusted peer was locked out";
    EXPECT_LE(most, c.most) << c.addresses << " addresses";
    EXPECT_GE(most, std::min<std::size_t>(c.most - 1, net::ServerCore::kMaxReceivers)) << "the caps were not reached";
    flood.clear();
    ASSERT_TRUE(RunUntil([&] { return desktop.server->GetReceiverCount() == 0; }, kControl + 10s));
  }
}

TEST_F(Hostile, AcceptingRestsWhileTheProcessIsOutOfDescriptors) {
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  RawClient waiting;
  ASSERT_TRUE(waiting.Connect("127.0.0.2", desktop.Port(), desktop.address));
  // No descriptor is left for the accepted connection.
  int highest = 0;
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) highest = fd;
  rlimit low = saved;
  low.rlim_cur = static_cast<rlim_t>(highest + 1);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  RunUntil([] { return false; }, 600ms);
  getrusage(RUSAGE_SELF, &after);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  const auto cpu = [](const rusage& u) {
    return u.ru_utime.tv_sec * 1000000L + u.ru_utime.tv_usec + u.ru_stime.tv_sec * 1000000L + u.ru_stime.tv_usec;
  };
  const long spent = cpu(after) - cpu(before);
  const long elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(spent, elapsed / 4) << "the GUI thread spun on a connection it could not take";
  // Once descriptors are free again the connection is taken.
  EXPECT_TRUE(waiting.Handshake());
}

// --- Hostile servers against our sender -------------------------------------

struct HostileServer {
  const char* what;
  std::function<void(net::Socket&)> serve;
  std::chrono::milliseconds within;
};

net::ReplyInfo Accepting() {
  net::ReplyInfo r;
  r.result = net::RESULT_ACCEPTED;
  r.version = 3000003;
  return r;
}
void Echo(net::Socket& s) {
  const auto d = std::chrono::steady_clock::now() + 5s;
  net::ReadUInt32(s, d);
  net::WriteUInt32(s, net::HANDSHAKE_MAGIC, d);
}
void Hold(net::Socket& s) {
  char b[256];
  while (s.Receive(b, sizeof b, std::chrono::steady_clock::now() + 10s) > 0) {
  }
}
void ReplyWith(net::Socket& s, const std::string& bytes) {
  Echo(s);
  net::QueryInfo q;
  net::ReadMessage(s, q, std::chrono::steady_clock::now() + 5s);
  net::WriteExact(s, bytes.data(), bytes.size(), std::chrono::steady_clock::now() + 5s);
  Hold(s);
}

TEST_F(Hostile, OurSenderDropsEveryHostileServerWithinItsBoundsAndLogsIt) {
  const HostileServer servers[] = {
      {"a server that says nothing", Hold, kControl + kSlack},
      {"a wrong echo",
       [](net::Socket& s) {
         net::ReadUInt32(s, std::chrono::steady_clock::now() + 5s);
         net::WriteUInt32(s, 0x12345678, std::chrono::steady_clock::now() + 5s);
         Hold(s);
       },
       kSlack},
      {"a reply that is no zlib stream", [](net::Socket& s) { ReplyWith(s, std::string("\x05\0\0\0hello", 9)); },
       kSlack},
      {"a reply length above its cap", [](net::Socket& s) { ReplyWith(s, "\xFF\xFF\xFF\x7F"); }, kSlack},
      {"a reply of a newer archive library",
       [](net::Socket& s) { ReplyWith(s, Frame(Deflate("22 serialization::archive 19 0 0 0 3000003 0 1\n"))); },
       kSlack},
      {"a reply dripped a byte at a time",
       [](net::Socket& s) {
         Echo(s);
         net::QueryInfo q;
         net::ReadMessage(s, q, std::chrono::steady_clock::now() + 5s);
         for (char byte : Frame(net::EncodeObject(Accepting()))) {
           if (s.Send(&byte, 1, std::chrono::steady_clock::now() + 5s) != 1) return;
           std::this_thread::sleep_for(100ms);
         }
         Hold(s);
       },
       kControl + kSlack},
      {"refused: wrong version", [](net::Socket& s) { ServeQuery(s, 1); }, kSlack},
      {"refused: wrong kind", [](net::Socket& s) { ServeQuery(s, 2); }, kSlack},
      {"refused: not trusted", [](net::Socket& s) { ServeQuery(s, 3); }, kSlack},
      {"a server that stops reading the payload",
       [](net::Socket& s) {
         Echo(s);
         net::QueryInfo q;
         net::ReadMessage(s, q, std::chrono::steady_clock::now() + 5s);
         net::WriteMessage(s, Accepting(), std::chrono::steady_clock::now() + 5s);
         // Reads nothing more, until the sender hangs up.
         pollfd p{s.Fd(), POLLRDHUP, 0};
         ::poll(&p, 1, 10000);
       },
       kProgress + kSlack},
  };
  // Random text: a payload of megabytes fills every buffer on the way.
  std::string big;
  for (std::uint32_t x = 1; big.size() < (8u << 20); x = x * 1103515245u + 12345u) big += static_cast<char>('!' + (x >> 16) % 90);
  const pq::RecordPtr large = TextRecord(big);
  int n = 0;
  for (const HostileServer& h : servers) {
    ScriptedServer server("127.0.0.4", h.serve);
    laptop.notices.clear();
    const std::size_t logged = laptop.services.Count();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(net::SendRecord(laptop.server.get(), large, server.Where())) << h.what;
    GoodClientIsServed("good " + std::to_string(++n));
    ASSERT_TRUE(RunUntil([&] { return laptop.NoticeCount(ID_NOTIFY_SEND_DONE) == 2; }, h.within + 2s)) << h.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, h.within) << h.what;
    const std::vector<std::string> lines = laptop.services.Lines();
    EXPECT_NE(std::find(lines.begin() + static_cast<long>(logged), lines.end(),
                        "Info: Failed to send object to 127.0.0.4:" + std::to_string(server.Port())),
              lines.end())
        << h.what;
    EXPECT_EQ(laptop.NoticeCount(ID_NOTIFY_SEND_FAILED), 1u) << h.what;
  }
}

}  // namespace
