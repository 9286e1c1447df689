#pragma once
// Test support for the network exchange: the event loop run while a test
// waits, a computer of our own (settings, history, server) on a loopback
// address of its own, the services that record what the exchange logs and
// animates, and raw peers that speak the wire as a test wants.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "appconfig.h"
#include "net/protocol.h"
#include "net/server.h"
#include "net/socket.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"

namespace nettest {

using namespace std::chrono_literals;

// Runs the event loop (descriptors, timers, pending events) until pred() or
// the time passes; pred()'s last value.
bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s);

std::uint32_t Address(const std::string& dotted);

// What the exchange logs and how often it animates.
class RecordingServices : public net::AppServices {
 public:
  void Log(int level, const wxString& text) override;
  void AnimateTaskbarIcon() override { ++animations; }

  // "Info: text" lines, oldest first.
  std::vector<std::string> Lines() const;
  // The same without the server's start.
  std::vector<std::string> TransferLines() const;
  bool Has(const std::string& line) const;
  std::size_t Count() const;

  int animations = 0;

 private:
  mutable std::mutex lock_;
  std::vector<std::string> lines_;
};

// A frame body of any text at all, and the text of a frame body.
cmn::mblock<char> Deflate(const std::string& text);
std::string Inflate(const cmn::mblock<char>& body);
// A body as a whole frame: its length, then its bytes.
std::string Frame(const cmn::mblock<char>& body);

// A text record (its items hold the text too).
pq::RecordPtr TextRecord(const std::string& text);
std::vector<std::string> Texts(const pq::RecordList& list);

// One computer: its settings, its history ("Main", "Search") and its server,
// listening on its own loopback address at a port the system chose, and
// sending from that address.
class Peer {
 public:
  explicit Peer(const std::string& address, bool listen = true);
  ~Peer();

  std::string address;
  AppConfig config;
  pq::History history;
  RecordingServices services;
  std::unique_ptr<net::Server> server;
  // Every notice the server handled: (id, value).
  std::vector<std::pair<int, int>> notices;

  int Port() const { return server->GetPort(); }
  NetworkAddress Where() const;
  void Trust(const std::string& host, const std::string& user, const std::string& list);
  pq::RecordList& Main() { return *history.GetMainList(); }
  pq::RecordList* List(const std::string& name);
  pq::RecordList& AddList(const std::string& name);
  // The values of notice `id`, in order.
  std::vector<int> NoticeValues(int id) const;
  std::size_t NoticeCount(int id) const;
};

// A raw connection from `from` to a port on 127.0.0.1 (or `to`). Its waits
// for an answer run the event loop, so a server of this thread answers.
class RawClient {
 public:
  bool Connect(const std::string& from, int port, const std::string& to = "127.0.0.1");
  // False when the server had closed the connection.
  bool Write(const std::string& bytes);
  bool WriteUInt32(std::uint32_t v);
  bool WriteFrame(const cmn::mblock<char>& body);
  // Handshake both ways; false when the server did not echo it.
  bool Handshake();
  bool Query(const std::string& user, int kind, int version = 3000003);
  // The reply (result -1 when none could be read).
  net::ReplyInfo Reply();
  // True once the server closed the connection (reads see its end) within
  // the time; whatever arrived before is dropped.
  bool WaitClosed(std::chrono::milliseconds limit = 10s);
  net::Socket socket;
};

// A server of the test's own on `address`: each connection it takes is
// handed to `serve` on a thread of its own.
class ScriptedServer {
 public:
  ScriptedServer(const std::string& address, std::function<void(net::Socket&)> serve);
  ~ScriptedServer();
  int Port() const { return listener_.Port(); }
  NetworkAddress Where() const;
  int Connections() const { return connections_; }

 private:
  std::string address_;
  net::Listener listener_;
  std::function<void(net::Socket&)> serve_;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::vector<std::thread> threads_;
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<net::Socket*> open_;
};

// A whole well-behaved server side for a ScriptedServer: handshake, query,
// the given reply; the payload read when the result is 0. Returns the query.
net::QueryInfo ServeQuery(net::Socket& s, int result);

// Short time-outs for one test.
class ShortTimeouts {
 public:
  explicit ShortTimeouts(std::chrono::milliseconds control = 1500ms, std::chrono::milliseconds progress = 1500ms,
                         std::chrono::milliseconds connect = 1500ms);
  ~ShortTimeouts();

 private:
  net::Timeouts saved_;
};

}  // namespace nettest
