#pragma once
// Two computers of ours on loopback addresses of their own: this one, whose
// network server the send commands use (installed as the send server while
// the object lives), and another that trusts it and files what it sends in
// its list "Inbox".
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/utils.h>

#include "appconfig.h"
#include "net/server.h"
#include "net/socket.h"
#include "options.h"
#include "pq/history.h"
#include "sendmenu.h"

namespace send_test {

// Runs the toolkit's loop (pending events, descriptors) until pred() holds
// or the limit passes; pred()'s last value.
inline bool RunUntil(const std::function<bool()>& pred,
                     std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    wxMilliSleep(2);
  }
}

class Computers {
 public:
  static constexpr const char* kOurs = "127.0.0.6";
  static constexpr const char* kOther = "127.0.0.7";

  Computers() {
    ours.history.CreateDefaultLists();
    ours.server = std::make_unique<net::Server>(ours.config, ours.history);
    ours.server->SetLocalAddress(Address(kOurs));
    previous = GetSendServer();
    SetSendServer(ours.server.get());

    other.history.CreateDefaultLists();
    auto* inbox = new pq::RecordList;
    inbox->name = "Inbox";
    other.history.InsertRecordList(inbox, 1);
    TrustedClientList clients;
    clients.push_back(TrustedClient(kOurs, "", "Inbox"));
    other.config.SetTrustedClients(clients);
    other.server = std::make_unique<net::Server>(other.config, other.history);
    other.server->SetLocalAddress(Address(kOther));
    other.config.options.Set(OPT_RECEIVER_PORT, 0);  // the system's choice
    other.config.options.Set(OPT_RECEIVE_ENABLED, true);
  }
  ~Computers() {
    SetSendServer(previous);
    WaitForSenders();
    for (Computer* c : {&ours, &other}) c->server->Shutdown();
  }
  Computers(const Computers&) = delete;
  Computers& operator=(const Computers&) = delete;

  wxString OtherHost() const { return kOther; }
  int OtherPort() const { return other.server->GetPort(); }
  pq::RecordList& Inbox() { return *other.history.FindRecordList("Inbox"); }

  bool WaitForInbox(unsigned count) {
    return RunUntil([&] { return Inbox().GetCount() >= count; });
  }
  // Until every transfer of both has ended.
  bool WaitForSenders() {
    return RunUntil([&] { return ours.server->GetSenderCount() == 0 && other.server->GetReceiverCount() == 0; });
  }

 private:
  struct Computer {
    AppConfig config;
    pq::History history;
    std::unique_ptr<net::Server> server;
  };
  static std::uint32_t Address(const char* dotted) {
    std::uint32_t a = 0;
    net::Endpoint::ParseAddress(dotted, a);
    return a;
  }
  Computer ours, other;
  net::Server* previous = nullptr;
};

}  // namespace send_test
