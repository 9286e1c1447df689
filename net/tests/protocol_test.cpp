// The bytes on the wire and the bounds of the frame readers.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <string>


#include "cmn/archive.h"
#include "net_fixture.h"
#include "pq/history.h"

using namespace nettest;

namespace {

// Two connected sockets in this process.
struct Pair {
  net::Socket a, b;
  Pair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds) == 0) {
      a = net::Socket(fds[0]);
      b = net::Socket(fds[1]);
    }
  }
};

net::Deadline Soon(std::chrono::milliseconds ms = 2000ms) { return net::Clock::now() + ms; }

std::string ReadRaw(net::Socket& s, std::size_t n) {
  std::string bytes(n, '\0');
  net::ReadExact(s, bytes.data(), n, Soon());
  return bytes;
}

TEST(Wire, TheHandshakeValueIsSentLittleEndian) {
  Pair p;
  net::WriteUInt32(p.a, net::HANDSHAKE_MAGIC, Soon());
  EXPECT_EQ(ReadRaw(p.b, 4), std::string("\xAC\x87\x06\x0A", 4));
}

TEST(Wire, ControlMessagesAreAZlibStreamOfTheirTextArchive) {
  net::QueryInfo query;
  query.user = "alice";
  query.kind = net::KIND_RECORD_LIST;
  query.version = 3000003;
  net::ReplyInfo reply;
  reply.result = net::RESULT_NOT_TRUSTED;
  reply.version = 3000003;
  reply.flags = net::REPLY_FLAG_NOT_TRUSTED;
  const struct {
    cmn::mblock<char> body;
    std::string text;
  } cases[] = {
      {net::EncodeObject(query), "22 serialization::archive 18 0 0 5 alice 1 3000003 0 1"},
      {net::EncodeObject(reply), "22 serialization::archive 18 0 0 3 3000003 4 1"},
      {net::EncodeObject(net::QueryInfo()), "22 serialization::archive 18 0 0 0  -1 -1 0 1"},
  };
  for (const auto& c : cases) {
    ASSERT_GE(c.body.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(c.body.data()[0]), 0x78) << "zlib header";
    EXPECT_EQ(static_cast<unsigned char>(c.body.data()[1]), 0x9C) << "default level";
    // The archive ends its text with a line break.
    EXPECT_EQ(Inflate(c.body), c.text + "\n");
  }
}

TEST(Wire, AFrameIsItsLengthThenItsBody) {
  Pair p;
  net::QueryInfo query;
  query.user = "bob";
  query.kind = 0;
  query.version = 3000003;
  ASSERT_TRUE(net::WriteMessage(p.a, query, Soon()));
  const cmn::mblock<char> body = net::EncodeObject(query);
  const std::string length = ReadRaw(p.b, 4);
  EXPECT_EQ(length, std::string({static_cast<char>(body.size()), 0, 0, 0}));
  EXPECT_EQ(ReadRaw(p.b, body.size()), std::string(body.data(), body.size()));
}

TEST(Wire, MessagesRoundTripAndAnEmptyBodyLeavesTheFreshValues) {
  Pair p;
  net::QueryInfo sent;
  sent.user = "zoë";
  sent.kind = 2;
  sent.version = 7;
  ASSERT_TRUE(net::WriteMessage(p.a, sent, Soon()));
  net::QueryInfo got;
  net::ReadMessage(p.b, got, Soon());
  EXPECT_EQ(got.user, "zoë");
  EXPECT_EQ(got.kind, 2);
  EXPECT_EQ(got.version, 7);

  net::WriteUInt32(p.a, 0, Soon());
  net::QueryInfo fresh;
  net::ReadMessage(p.b, fresh, Soon());
  EXPECT_EQ(fresh.version, -1);
  EXPECT_EQ(fresh.kind, -1);
}

TEST(Bounds, AControlFrameAboveItsCapIsRefusedBeforeItsBodyArrives) {
  Pair p;
  net::WriteUInt32(p.a, static_cast<std::uint32_t>(net::kMaxControlBytes + 1), Soon());
  const auto start = net::Clock::now();
  net::QueryInfo q;
  EXPECT_THROW(net::ReadMessage(p.b, q, Soon(5000ms)), net::e_failed);
  EXPECT_LT(net::Clock::now() - start, 1000ms) << "it waited for a body it would not take";
}

TEST(Bounds, DecodingStopsAtItsBudgetOfInflatedBytes) {
  // Ten megabytes of name that deflate to a few kilobytes.
  const std::string bomb = "22 serialization::archive 18 0 0 10000000 " + std::string(10000000, 'a') + " 0 3000003 0 1";
  const cmn::mblock<char> body = Deflate(bomb);
  ASSERT_LT(body.size(), net::kMaxControlBytes);
  net::QueryInfo q;
  EXPECT_ANY_THROW(net::DecodeObject(body.data(), body.size(), q, net::kMaxControlBytes));
  EXPECT_TRUE(q.user.empty());
  // The same within a budget that holds it decodes.
  net::QueryInfo whole;
  net::DecodeObject(body.data(), body.size(), whole, 2 * bomb.size());
  EXPECT_EQ(whole.user.size(), 10000000u);
}

TEST(Bounds, DamagedBodiesThrowAndNeverCrash) {
  const cmn::mblock<char> good = net::EncodeObject(net::ReplyInfo());
  const std::string cases[] = {
      "not zlib at all",
      std::string(good.data(), good.size() / 2),               // cut short
      std::string(Deflate("22 serialization::archive 18 0 0 x").data(),
                  Deflate("22 serialization::archive 18 0 0 x").size()),  // not numbers
      std::string(Deflate("33 something else").data(), Deflate("33 something else").size()),
      // A newer library's archive, which this one cannot read.
      std::string(Deflate("22 serialization::archive 19 0 0 0 3000003 0 1").data(),
                  Deflate("22 serialization::archive 19 0 0 0 3000003 0 1").size()),
  };
  for (const std::string& c : cases) {
    net::ReplyInfo r;
    EXPECT_ANY_THROW(net::DecodeObject(c.data(), c.size(), r, net::kMaxControlBytes)) << c.size();
  }
}

TEST(Bounds, ExactTransfersEndAtTheirDeadlineOrWhenThePeerGoes) {
  Pair p;
  char byte = 0;
  const auto start = net::Clock::now();
  EXPECT_THROW(net::ReadExact(p.b, &byte, 1, Soon(100ms)), net::e_failed);
  EXPECT_GE(net::Clock::now() - start, 90ms);
  EXPECT_LT(net::Clock::now() - start, 1000ms);

  // Three bytes of four, then the peer leaves.
  net::WriteExact(p.a, "abc", 3, Soon());
  p.a.Close();
  EXPECT_THROW(net::ReadUInt32(p.b, Soon()), net::e_failed);
  // Writing to a peer that left fails; it raises no SIGPIPE.
  const std::string block(1 << 20, 'x');
  EXPECT_THROW(net::WriteExact(p.b, block.data(), block.size(), Soon()), net::e_failed);
}

}  // namespace
