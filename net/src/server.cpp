#include "net/server.h"

#include <set>
#include <system_error>
#include <utility>

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

#include "appconfig.h"
#include "appnotify.h"
#include "net/socket.h"
#include "options.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "receiver.h"
#include "servercore.h"
#include "transfer.h"

namespace net {

namespace {
constexpr int kDefaultPort = 45689;
constexpr int kAcceptRetryTimerId = 1;
// While the process is out of descriptors the listener rests this long
// rather than waking the GUI thread for a connection it cannot take.
constexpr int kAcceptRetryMs = 1000;
// Connections taken per wake-up, so a flood does not hold the GUI thread.
constexpr int kAcceptsPerEvent = 16;
constexpr std::chrono::seconds kReceiverWait(100);
constexpr std::chrono::seconds kSenderWait(50);
}  // namespace

class Server::ListenerHandler : public wxEventLoopSourceHandler {
 public:
  explicit ListenerHandler(Server& server) : server_(server) {}
  void OnReadWaiting() override { server_.OnSocketEvent(); }
  void OnWriteWaiting() override {}
  void OnExceptionWaiting() override {}

 private:
  Server& server_;
};

wxBEGIN_EVENT_TABLE(Server, wxEvtHandler)
  EVT_APP_NOTICE_RANGE(ID_NOTIFY_NET_FIRST, ID_NOTIFY_NET_LAST, Server::OnNotify)
  EVT_TIMER(kAcceptRetryTimerId, Server::OnAcceptRetry)
wxEND_EVENT_TABLE()

Server::Server(AppConfig& config, pq::History& history, AppServices* services)
    : config_(config),
      history_(history),
      services_(services),
      core_(std::make_shared<ServerCore>(this, &config, services)),
      listenerHandler_(std::make_unique<ListenerHandler>(*this)),
      acceptRetry_(this, kAcceptRetryTimerId) {
  config_.AddOptionObserver(OPT_RECEIVE_ENABLED, this);
  config_.AddOptionObserver(OPT_RECEIVER_PORT, this);
}

Server::~Server() {
  config_.options.RemoveObserver(OPT_RECEIVE_ENABLED, this);
  config_.options.RemoveObserver(OPT_RECEIVER_PORT, this);
  Stop();
  // Threads still running post, log and read the settings no more; they
  // hold the shared state and are let go.
  core_->Detach();
  JoinTransfers(false);
  for (Worker& w : workers_) w.thread.detach();
}

bool Server::StartTransfer(std::unique_ptr<Transfer> transfer) {
  auto ended = std::make_shared<std::atomic<bool>>(false);
  try {
    std::thread thread([work = std::move(transfer), ended]() mutable {
      work->Entry();
      work.reset();  // unregisters it
      ended->store(true);
    });
    workers_.push_back({std::move(thread), ended});
  } catch (const std::system_error&) {
    return false;  // the transfer went with the lambda
  }
  return true;
}

void Server::JoinTransfers(bool all) {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (all || it->ended->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool Server::Start() {
  if (listener_) return true;
  int port = kDefaultPort;
  config_.options.Get(OPT_RECEIVER_PORT, port);
  auto listener = std::make_unique<Listener>();
  if (port < 0 || port > 65535 || !listener->Open(Endpoint{localAddress_, port})) {
    core_->Log(AppServices::Warning, "Failed to start network server (record receiver).");
    return false;
  }
  listener_ = std::move(listener);
  WatchListener();
  if (!listenerSource_) {
    listener_.reset();
    core_->Log(AppServices::Warning, "Failed to start network server (record receiver).");
    return false;
  }
  core_->Log(AppServices::Info, "Network server (record receiver) started successfully.");
  return true;
}

bool Server::StartIfEnabled() {
  bool enabled = false;
  if (!config_.options.Get(OPT_RECEIVE_ENABLED, enabled) || !enabled) return true;
  return Start();
}

bool Server::Stop() {
  if (!listener_) return false;
  acceptRetry_.Stop();
  delete listenerSource_;
  listenerSource_ = nullptr;
  listener_.reset();
  return true;
}

bool Server::IsListening() const { return listener_ != nullptr; }

int Server::GetPort() const { return listener_ ? listener_->Port() : 0; }

void Server::WatchListener() {
  listenerSource_ = wxEventLoopBase::AddSourceForFD(listener_->Fd(), listenerHandler_.get(), wxEVENT_SOURCE_INPUT);
}

void Server::Shutdown() {
  core_->BeginClosing();
  const bool receiversEnded = core_->WaitForReceivers(kReceiverWait);
  const bool sendersEnded = core_->WaitForSenders(kSenderWait);
  // Every thread whose transfer ended is joined, so none is still winding
  // down when the program ends.
  JoinTransfers(receiversEnded && sendersEnded);
}

void Server::FileReceived() {
  AddReceivedRecords();
  AddReceivedLists();
  AddReceivedHistories();
}

bool Server::IsAppClosing() const { return core_->IsClosing(); }

std::size_t Server::GetReceiverCount() const { return core_->ReceiverCount(); }

std::size_t Server::GetSenderCount() const { return core_->SenderCount(); }

void Server::OnOptionChanged(const int& id) {
  bool enabled = false;
  config_.options.Get(OPT_RECEIVE_ENABLED, enabled);
  if (id == OPT_RECEIVE_ENABLED) {
    if (enabled)
      Start();
    else
      Stop();
  } else if (id == OPT_RECEIVER_PORT && enabled) {
    Stop();
    Start();
  }
}

void Server::OnSocketEvent() {
  for (int i = 0; i < kAcceptsPerEvent && listener_; ++i) {
    Socket socket;
    Endpoint peer;
    switch (listener_->Accept(socket, peer)) {
      case Listener::AcceptResult::None:
        return;
      case Listener::AcceptResult::Exhausted:
        delete listenerSource_;
        listenerSource_ = nullptr;
        acceptRetry_.StartOnce(kAcceptRetryMs);
        return;
      case Listener::AcceptResult::Accepted:
        break;
    }
    // Over the caps, or at exit: the connection is closed at once.
    if (core_->IsClosing() || !core_->Admit(peer.address)) continue;
    StartTransfer(std::make_unique<Receiver>(std::move(socket), peer, core_));
  }
}

void Server::OnAcceptRetry(wxTimerEvent&) {
  if (listener_ && !listenerSource_) WatchListener();
}

void Server::OnNotify(wxCommandEvent& event) {
  switch (event.GetId()) {
    case ID_NOTIFY_RECORD_RECEIVED:
      AddReceivedRecords();
      break;
    case ID_NOTIFY_LIST_RECEIVED:
      AddReceivedLists();
      break;
    case ID_NOTIFY_HISTORY_RECEIVED:
      AddReceivedHistories();
      break;
    case ID_NOTIFY_RECEIVER_ENDED:
    case ID_NOTIFY_SENDER_ENDED:
      JoinTransfers(false);
      break;
    default:
      break;
  }
}

pq::RecordList* Server::TargetFor(const wxString& listName) const {
  // A search list is refilled by its searches: what it got would be lost.
  for (pq::RecordList* list : history_.GetLists())
    if (list && !pq::IsSearchList(list) && list->GetName() == listName) return list;
  return nullptr;
}

void Server::Animate() {
  if (services_) services_->AnimateTaskbarIcon();
}

// The queues are emptied under the lock and filed without it: the lists'
// observers run here and may start transfers of their own.
void Server::AddReceivedRecords() {
  bool added = false;
  for (const ServerCore::ReceivedRecord& entry : core_->TakeRecords()) {
    pq::RecordList* target = TargetFor(entry.client.GetList());
    if (target && entry.record) {
      target->AddRecord(entry.record);
      added = true;
    }
  }
  if (added) Animate();
}

namespace {
// Adds the records of `from` to the front of `target`, last first, so they
// keep their order there; records already in `seen` are left out. True when
// any was added.
bool FileRecords(const pq::RecordList& from, pq::RecordList& target, std::set<const pq::Record*>& seen) {
  bool added = false;
  for (unsigned i = from.GetCount(); i-- > 0;) {
    const pq::RecordPtr record = from.GetRecord(i);
    if (record && seen.insert(record.get()).second) {
      target.AddRecord(record);
      added = true;
    }
  }
  return added;
}
}  // namespace

void Server::AddReceivedLists() {
  bool added = false;
  for (ServerCore::Received<pq::RecordList>& entry : core_->TakeRecordLists()) {
    pq::RecordList* target = TargetFor(entry.client.GetList());
    if (!target) continue;
    std::set<const pq::Record*> seen;
    added |= FileRecords(*entry.object, *target, seen);
    entry.object->Clear();
    Animate();
  }
  if (added) Animate();
}

void Server::AddReceivedHistories() {
  bool added = false;
  for (ServerCore::Received<pq::History>& entry : core_->TakeHistories()) {
    pq::RecordList* target = TargetFor(entry.client.GetList());
    if (!target) continue;
    // A history may name one list or one record more than once; each goes in
    // once.
    std::set<const pq::RecordList*> listsSeen;
    std::set<const pq::Record*> recordsSeen;
    for (pq::RecordList* list : entry.object->GetLists()) {
      if (!list || !listsSeen.insert(list).second) continue;
      added |= FileRecords(*list, *target, recordsSeen);
      list->Clear();
    }
  }
  if (added) Animate();
}

}  // namespace net
