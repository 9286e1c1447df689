#pragma once
// The network server: it listens on the receiver port while receiving is
// switched on, starts a receiver thread for every connection, keeps the
// registries of running transfer threads and, when a receiver's notice
// arrives, adds the received records to the record list that the sending
// trusted client's entry names. GUI thread only (the transfer threads reach
// only the state it shares with them).
#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <thread>

#include <wx/event.h>
#include <wx/string.h>
#include <wx/timer.h>

#include "cmn/option.h"

class AppConfig;
class wxEventLoopSource;
namespace pq {
class History;
class RecordList;
}

namespace net {

class ServerCore;
class Listener;
class Transfer;

// What the network exchange needs from the application; every call has a
// harmless default.
class AppServices {
 public:
  enum Level { Info = 0, Warning = 1 };
  virtual ~AppServices() = default;
  // One line of the program's log. Any thread.
  virtual void Log(int level, const wxString& text) {}
  // The taskbar icon's short animation: records arrived. GUI thread.
  virtual void AnimateTaskbarIcon() {}
};

class Server : public wxEvtHandler, public cmn::option<int>::observer {
 public:
  // Follows the receiving switch and the receiver port of `config`, adds what
  // arrives to lists of `history`; neither is owned, both outlive the server,
  // and so do the services (null: none).
  Server(AppConfig& config, pq::History& history, AppServices* services = nullptr);
  ~Server() override;
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Listens on the receiver port; true when listening (also already).
  bool Start();
  // At start-up: listens when receiving is switched on. False only when it is
  // on and listening failed (the application tells the user).
  bool StartIfEnabled();
  // Closes the listener; connections already taken go on. False when it was
  // not listening.
  bool Stop();
  bool IsListening() const;
  // The port listened on (0 when not listening).
  int GetPort() const;

  // Files now what receivers have queued and the GUI thread has not taken
  // yet (their notices may still be on the way): the application calls it
  // before it saves at the end, so that nothing received is lost with them.
  void FileReceived();

  // At exit: tells every transfer thread that the application is closing,
  // shuts their sockets down so blocked ones wake, and waits until they have
  // ended: at most 100 s for receivers, then 50 s for senders (limits, not
  // waits). No thread is killed; one that is still running then shares only
  // state that outlives the server.
  void Shutdown();
  bool IsAppClosing() const;

  // Running transfer threads.
  std::size_t GetReceiverCount() const;
  std::size_t GetSenderCount() const;

  // The address this server listens on and its senders send from; by
  // default every local address and the system's choice. For tests, so
  // that two servers on one machine look like two computers (127.0.0.2 ...).
  void SetLocalAddress(std::uint32_t address) { localAddress_ = address; }
  std::uint32_t GetLocalAddress() const { return localAddress_; }

  void OnOptionChanged(const int& id) override;

  // Shared with the transfer threads of this server (Receiver, SendRecord).
  const std::shared_ptr<ServerCore>& GetCore() const { return core_; }
  // Runs the transfer on a thread of its own, joined once it has ended;
  // false (the transfer destroyed) when no thread can be started.
  bool StartTransfer(std::unique_ptr<Transfer> transfer);

 private:
  class ListenerHandler;

  // A connection is waiting on the listener.
  void OnSocketEvent();
  void OnNotify(wxCommandEvent& event);
  void OnAcceptRetry(wxTimerEvent& event);
  void WatchListener();
  // Joins the transfer threads that have ended (all of them with `all`, once
  // none is registered any more).
  void JoinTransfers(bool all);

  void AddReceivedRecords();
  void AddReceivedLists();
  void AddReceivedHistories();
  pq::RecordList* TargetFor(const wxString& listName) const;
  void Animate();

  AppConfig& config_;
  pq::History& history_;
  AppServices* services_;
  std::shared_ptr<ServerCore> core_;
  std::unique_ptr<Listener> listener_;
  std::unique_ptr<ListenerHandler> listenerHandler_;
  wxEventLoopSource* listenerSource_ = nullptr;
  // Accepting is paused while the process is out of descriptors.
  wxTimer acceptRetry_;
  std::uint32_t localAddress_ = 0;
  // The transfer threads not joined yet, each with the flag it sets last.
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> ended;
  };
  std::list<Worker> workers_;

  wxDECLARE_EVENT_TABLE();
};

}  // namespace net
