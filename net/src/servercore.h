#pragma once
// What the server shares with its transfer threads, held by all of them
// through shared pointers: the lock, the closing flag, the registries of
// running threads and of their open sockets, the queues of received
// objects, the notice target and the application's services. A thread that
// outlives the server finds the target and the services cleared and so
// reaches nothing that is gone.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include <wx/string.h>

#include "appconfig.h"
#include "pq/recordlist.h"

class wxEvtHandler;

namespace pq {
class History;
}

namespace net {

class AppServices;
class Socket;

class ServerCore {
 public:
  // Receivers at once in total, and from one peer address.
  static constexpr std::size_t kMaxReceivers = 64;
  static constexpr std::size_t kMaxReceiversPerPeer = 8;

  template <class Object>
  struct Received {
    TrustedClient client;
    std::unique_ptr<Object> object;
  };
  struct ReceivedRecord {
    TrustedClient client;
    pq::RecordPtr record;
  };

  ServerCore(wxEvtHandler* target, const AppConfig* config, AppServices* services);

  // Cut off from the server (its destructor): nothing is posted, logged or
  // read from the settings afterwards.
  void Detach();

  // Closing: set once, never cleared.
  bool IsClosing() const;
  // Sets closing and shuts down every registered socket, so threads blocked
  // on one wake at once.
  void BeginClosing();
  // Waits until no receiver (or no sender) is registered or the time passes;
  // true when none is left.
  bool WaitForReceivers(std::chrono::milliseconds limit);
  bool WaitForSenders(std::chrono::milliseconds limit);

  // Whether one more connection from `peer` may have a receiver: not beyond
  // the cap per peer; at the total cap, the oldest receiver still waiting
  // for its query (not yet trusted) is woken to end, so idle connections
  // cannot lock trusted peers out.
  bool Admit(std::uint32_t peer);
  void AddReceiver(const void* receiver, std::uint32_t peer, Socket* socket);
  // The receiver's peer passed the trust check: it is evicted no more.
  void MarkTrusted(const void* receiver);
  // Both post their notice (ID_NOTIFY_RECEIVER_ENDED, ID_NOTIFY_SENDER_ENDED).
  void RemoveReceiver(const void* receiver);
  void AddSender(const void* sender);
  void RemoveSender(const void* sender);
  std::size_t ReceiverCount() const;
  std::size_t SenderCount() const;

  // A socket that shut-down must wake; false (not registered) when closing
  // has begun, and the transfer must end.
  bool AddSocket(Socket* socket);
  void RemoveSocket(Socket* socket);

  void QueueRecord(const TrustedClient& client, const pq::RecordPtr& record);
  void QueueRecordList(const TrustedClient& client, std::unique_ptr<pq::RecordList> list);
  void QueueHistory(const TrustedClient& client, std::unique_ptr<pq::History> history);
  std::deque<ReceivedRecord> TakeRecords();
  std::deque<Received<pq::RecordList>> TakeRecordLists();
  std::deque<Received<pq::History>> TakeHistories();

  // A notice to the server (any thread).
  void Post(int id, int value = 0);
  // One line of the program's log (any thread); nothing once closing began
  // and the application may be gone.
  void Log(int level, const wxString& text);
  // A copy of the trusted clients; false once detached.
  bool GetTrustedClients(TrustedClientList& out) const;

 private:
  struct ReceiverEntry {
    const void* receiver;
    std::uint32_t peer;
    Socket* socket;
    bool trusted;
    bool evicted;  // woken to end; no longer counted
  };

  mutable std::mutex lock_;
  std::condition_variable threadEnded_;
  bool closing_ = false;
  wxEvtHandler* target_;
  const AppConfig* config_;
  AppServices* services_;
  std::deque<ReceiverEntry> receivers_;
  std::deque<const void*> senders_;
  std::vector<Socket*> sockets_;
  std::deque<ReceivedRecord> records_;
  std::deque<Received<pq::RecordList>> lists_;
  std::deque<Received<pq::History>> histories_;
};

}  // namespace net
