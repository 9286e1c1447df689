#include "sender.h"

#include <algorithm>
#include <utility>

#include <wx/utils.h>

#include "appnotify.h"
#include "appversion.h"
#include "cmn/strconv.h"
#include "net/send.h"
#include "net/server.h"
#include "net/socket.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "servercore.h"

namespace net {

namespace {

// Keeps a socket where shut-down can wake it for as long as it is in use.
class SocketRegistration {
 public:
  SocketRegistration(ServerCore& core, Socket& socket) : core_(core), socket_(socket) {
    if (!core_.AddSocket(&socket_)) throw e_app_closing();
  }
  ~SocketRegistration() { core_.RemoveSocket(&socket_); }
  SocketRegistration(const SocketRegistration&) = delete;
  SocketRegistration& operator=(const SocketRegistration&) = delete;

 private:
  ServerCore& core_;
  Socket& socket_;
};

bool StartSender(Server* server, ObjectKind kind, cmn::mblock<char> payload, const NetworkAddress& to) {
  if (!server) return false;
  auto sender = std::make_unique<Sender>(server->GetCore(), server->GetLocalAddress());
  sender->address = to;
  if (payload.empty()) return false;  // nothing to send: the object did not encode
  if (payload.size() > kMaxPayloadBytes) {
    server->GetCore()->Log(AppServices::Info, "Failed to send object to " + sender->Destination());
    return false;
  }
  sender->payload = std::move(payload);
  sender->query.kind = kind;
  sender->query.version = APP_VERSION_CODE;
  sender->query.user = cmn::wx::ToStdString(wxGetUserId());
  return server->StartTransfer(std::move(sender));
}

}  // namespace

bool SendRecord(Server* server, const pq::RecordPtr& record, const NetworkAddress& to) {
  if (!server || !record) return false;
  return StartSender(server, KIND_RECORD, EncodeObject(*record), to);
}

bool SendRecordList(Server* server, const pq::RecordList* list, const NetworkAddress& to) {
  if (!server || !list) return false;
  return StartSender(server, KIND_RECORD_LIST, EncodeObject(*list), to);
}

Sender::Sender(std::shared_ptr<ServerCore> core, std::uint32_t localAddress)
    : core_(std::move(core)), localAddress_(localAddress) {
  core_->AddSender(this);
}

Sender::~Sender() { core_->RemoveSender(this); }

wxString Sender::Destination() const { return address.GetHost() + ":" + wxString::Format("%d", address.port); }

void Sender::CheckClosing() const {
  if (core_->IsClosing()) throw e_app_closing();
}

void Sender::Entry() {
  core_->Post(ID_NOTIFY_TRANSFER_START, static_cast<int>(payload.size()));
  try {
    Transfer(GetTimeouts());
    core_->Log(AppServices::Info, "Object sent to " + Destination());
  } catch (const e_app_closing&) {
  } catch (...) {
    // A socket failure, a refusal, or a reply that does not decode. One that
    // shut-down caused is no failure of the transfer.
    if (!core_->IsClosing()) {
      core_->Post(ID_NOTIFY_SEND_FAILED);
      core_->Log(AppServices::Info, "Failed to send object to " + Destination());
    }
  }
  core_->Post(ID_NOTIFY_SEND_DONE);
}

void Sender::Transfer(const Timeouts& timeouts) {
  Endpoint to;
  if (!ResolveHost(address.host, to.address)) throw e_connect_failed();
  to.port = address.port;
  Socket socket;
  if (!socket.Open(Endpoint{localAddress_, 0})) throw e_connect_failed();
  SocketRegistration registration(*core_, socket);
  if (!socket.StartConnect(to) || !socket.FinishConnect(Clock::now() + timeouts.connect))
    throw e_connect_failed();

  const Deadline control = Clock::now() + timeouts.control;
  WriteUInt32(socket, HANDSHAKE_MAGIC, control);
  if (ReadUInt32(socket, control) != HANDSHAKE_MAGIC) throw e_failed();
  if (!WriteMessage(socket, query, control)) throw e_failed();
  CheckClosing();
  ReplyInfo reply;
  ReadMessage(socket, reply, control);
  CheckClosing();
  if (reply.result != RESULT_ACCEPTED) throw e_failed();
  core_->Post(ID_NOTIFY_SEND_PROGRESS, 0);

  const std::size_t size = payload.size();
  WriteUInt32(socket, static_cast<std::uint32_t>(size), Clock::now() + timeouts.progress);
  CheckClosing();
  if (size <= CHUNK_SIZE) {
    WriteExact(socket, payload.data(), size, Clock::now() + timeouts.progress);
  } else {
    for (std::size_t offset = 0; offset < size;) {
      const std::size_t n = std::min(size - offset, CHUNK_SIZE);
      WriteExact(socket, payload.data() + offset, n, Clock::now() + timeouts.progress);
      offset += n;
      CheckClosing();
      core_->Post(ID_NOTIFY_SEND_PROGRESS, static_cast<int>(offset));
    }
  }
  CheckClosing();
}

}  // namespace net
