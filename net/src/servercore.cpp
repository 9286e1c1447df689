#include "servercore.h"

#include <algorithm>

#include "appnotify.h"
#include "net/server.h"
#include "net/socket.h"
#include "pq/history.h"

namespace net {

namespace {
template <class Container, class Value>
void EraseFirst(Container& c, const Value& v) {
  auto it = std::find(c.begin(), c.end(), v);
  if (it != c.end()) c.erase(it);
}
}  // namespace

ServerCore::ServerCore(wxEvtHandler* target, const AppConfig* config, AppServices* services)
    : target_(target), config_(config), services_(services) {}

void ServerCore::Detach() {
  std::lock_guard<std::mutex> guard(lock_);
  target_ = nullptr;
  config_ = nullptr;
  services_ = nullptr;
}

bool ServerCore::IsClosing() const {
  std::lock_guard<std::mutex> guard(lock_);
  return closing_;
}

void ServerCore::BeginClosing() {
  std::lock_guard<std::mutex> guard(lock_);
  closing_ = true;
  for (Socket* s : sockets_) s->Shutdown();
}

bool ServerCore::WaitForReceivers(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(lock_);
  return threadEnded_.wait_for(guard, limit, [this] { return receivers_.empty(); });
}

bool ServerCore::WaitForSenders(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> guard(lock_);
  return threadEnded_.wait_for(guard, limit, [this] { return senders_.empty(); });
}

bool ServerCore::Admit(std::uint32_t peer) {
  std::lock_guard<std::mutex> guard(lock_);
  std::size_t total = 0, fromPeer = 0;
  for (const ReceiverEntry& e : receivers_) {
    if (e.evicted) continue;
    ++total;
    if (e.peer == peer) ++fromPeer;
  }
  if (fromPeer >= kMaxReceiversPerPeer) return false;
  if (total < kMaxReceivers) return true;
  for (ReceiverEntry& e : receivers_) {  // oldest first
    if (!e.evicted && !e.trusted) {
      e.evicted = true;
      e.socket->Shutdown();
      return true;
    }
  }
  return false;
}

void ServerCore::AddReceiver(const void* receiver, std::uint32_t peer, Socket* socket) {
  std::lock_guard<std::mutex> guard(lock_);
  receivers_.push_back({receiver, peer, socket, false, false});
}

void ServerCore::MarkTrusted(const void* receiver) {
  std::lock_guard<std::mutex> guard(lock_);
  for (ReceiverEntry& e : receivers_)
    if (e.receiver == receiver) e.trusted = true;
}

void ServerCore::RemoveReceiver(const void* receiver) {
  std::lock_guard<std::mutex> guard(lock_);
  PostNotifyEvent(target_, ID_NOTIFY_RECEIVER_ENDED, 0);
  auto it = std::find_if(receivers_.begin(), receivers_.end(),
                         [receiver](const ReceiverEntry& e) { return e.receiver == receiver; });
  if (it != receivers_.end()) receivers_.erase(it);
  threadEnded_.notify_all();
}

void ServerCore::AddSender(const void* sender) {
  std::lock_guard<std::mutex> guard(lock_);
  senders_.push_back(sender);
}

void ServerCore::RemoveSender(const void* sender) {
  std::lock_guard<std::mutex> guard(lock_);
  PostNotifyEvent(target_, ID_NOTIFY_SENDER_ENDED, 0);
  EraseFirst(senders_, sender);
  threadEnded_.notify_all();
}

std::size_t ServerCore::ReceiverCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return receivers_.size();
}

std::size_t ServerCore::SenderCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return senders_.size();
}

bool ServerCore::AddSocket(Socket* socket) {
  std::lock_guard<std::mutex> guard(lock_);
  if (closing_) return false;
  sockets_.push_back(socket);
  return true;
}

void ServerCore::RemoveSocket(Socket* socket) {
  std::lock_guard<std::mutex> guard(lock_);
  EraseFirst(sockets_, socket);
}

void ServerCore::QueueRecord(const TrustedClient& client, const pq::RecordPtr& record) {
  std::lock_guard<std::mutex> guard(lock_);
  records_.push_back({client, record});
}

void ServerCore::QueueRecordList(const TrustedClient& client, std::unique_ptr<pq::RecordList> list) {
  std::lock_guard<std::mutex> guard(lock_);
  lists_.push_back({client, std::move(list)});
}

void ServerCore::QueueHistory(const TrustedClient& client, std::unique_ptr<pq::History> history) {
  std::lock_guard<std::mutex> guard(lock_);
  histories_.push_back({client, std::move(history)});
}

std::deque<ServerCore::ReceivedRecord> ServerCore::TakeRecords() {
  std::lock_guard<std::mutex> guard(lock_);
  std::deque<ReceivedRecord> taken;
  taken.swap(records_);
  return taken;
}

std::deque<ServerCore::Received<pq::RecordList>> ServerCore::TakeRecordLists() {
  std::lock_guard<std::mutex> guard(lock_);
  std::deque<Received<pq::RecordList>> taken;
  taken.swap(lists_);
  return taken;
}

std::deque<ServerCore::Received<pq::History>> ServerCore::TakeHistories() {
  std::lock_guard<std::mutex> guard(lock_);
  std::deque<Received<pq::History>> taken;
  taken.swap(histories_);
  return taken;
}

void ServerCore::Post(int id, int value) {
  std::lock_guard<std::mutex> guard(lock_);
  PostNotifyEvent(target_, id, value);
}

void ServerCore::Log(int level, const wxString& text) {
  // Held while the application logs, so the services cannot be detached
  // meanwhile; the log takes only its own lock and never calls back here.
  std::lock_guard<std::mutex> guard(lock_);
  if (services_) services_->Log(level, text);
}

bool ServerCore::GetTrustedClients(TrustedClientList& out) const {
  // Held for the copy, so the settings record cannot be detached meanwhile;
  // its own lock guards the list and never waits for this one.
  std::lock_guard<std::mutex> guard(lock_);
  if (!config_) return false;
  config_->GetTrustedClients(out);
  return true;
}

}  // namespace net
