#include "receiver.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include <boost/make_shared.hpp>

#include "appconfig.h"
#include "appnotify.h"
#include "appversion.h"
#include "cmn/strconv.h"
#include "net/protocol.h"
#include "net/server.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "servercore.h"

namespace net {

namespace {
// The first reserve of a payload buffer, which then doubles as bytes arrive.
constexpr std::size_t kFirstPayloadReserve = 64 * 1024;
}  // namespace

Receiver::Receiver(Socket socket, const Endpoint& peer, std::shared_ptr<ServerCore> core)
    : socket_(std::move(socket)), peer_(peer), core_(std::move(core)) {
  core_->AddReceiver(this, peer_.address, &socket_);
  socketRegistered_ = core_->AddSocket(&socket_);
}

Receiver::~Receiver() {
  if (socketRegistered_) core_->RemoveSocket(&socket_);
  core_->RemoveReceiver(this);
  socket_.Close();
}

void Receiver::CheckClosing() const {
  if (core_->IsClosing()) throw e_app_closing();
}

void Receiver::Entry() {
  const Timeouts timeouts = GetTimeouts();
  try {
    Serve(timeouts);
  } catch (const e_app_closing&) {
  } catch (const e_failed&) {
    // A failure that shut-down caused is no failure of the transfer.
    if (!core_->IsClosing()) core_->Post(ID_NOTIFY_RECEIVE_FAILED);
  } catch (...) {
    // A query or payload that does not decode (or does not fit in memory):
    // nothing of it is kept.
    if (!core_->IsClosing())
      core_->Log(AppServices::Info, wxString::FromUTF8("Failed to read data received from " + peer_.AddressText()));
  }
}

void Receiver::Serve(const Timeouts& timeouts) {
  if (!socketRegistered_) throw e_app_closing();
  const Deadline control = Clock::now() + timeouts.control;
  if (ReadUInt32(socket_, control) != HANDSHAKE_MAGIC) throw e_failed();
  WriteUInt32(socket_, HANDSHAKE_MAGIC, control);
  QueryInfo query;
  ReadMessage(socket_, query, control);
  CheckClosing();

  ReplyInfo reply;
  reply.version = APP_VERSION_CODE;
  auto answer = [&](int result) {
    reply.result = result;
    if (!WriteMessage(socket_, reply, control)) throw e_failed();
  };
  if (query.version != APP_VERSION_CODE) return answer(RESULT_WRONG_VERSION);

  // Trust: the peer's IPv4 address and the user name it sent.
  TrustedClientList trusted;
  TrustedClient client;
  if (peer_.address == 0 || !core_->GetTrustedClients(trusted) ||
      !trusted.FindByHost(wxString::FromUTF8(peer_.AddressText()), cmn::wx::ToWxString(query.user), client)) {
    reply.flags |= REPLY_FLAG_NOT_TRUSTED;
    return answer(RESULT_NOT_TRUSTED);
  }
  core_->MarkTrusted(this);

  switch (query.kind) {
    case KIND_RECORD: {
      answer(RESULT_ACCEPTED);
      auto record = boost::make_shared<pq::Record>();
      ReceiveObject(*record, timeouts);
      core_->QueueRecord(client, record);
      core_->Post(ID_NOTIFY_RECORD_RECEIVED);
      return;
    }
    case KIND_RECORD_LIST: {
      answer(RESULT_ACCEPTED);
      auto list = std::make_unique<pq::RecordList>();
      ReceiveObject(*list, timeouts);
      core_->QueueRecordList(client, std::move(list));
      core_->Post(ID_NOTIFY_LIST_RECEIVED);
      return;
    }
    case KIND_HISTORY: {
      answer(RESULT_ACCEPTED);
      auto history = std::make_unique<pq::History>();
      ReceiveObject(*history, timeouts);
      core_->QueueHistory(client, std::move(history));
      core_->Post(ID_NOTIFY_HISTORY_RECEIVED);
      return;
    }
    default:
      return answer(RESULT_WRONG_KIND);
  }
}

template <class Object>
void Receiver::ReceiveObject(Object& object, const Timeouts& timeouts) {
  CheckClosing();
  const std::uint32_t length = ReadUInt32(socket_, Clock::now() + timeouts.progress);
  if (length > kMaxPayloadBytes) throw e_failed();
  // Nothing to decode is nothing to keep.
  if (length == 0) throw std::runtime_error("empty payload");
  CheckClosing();
  core_->Post(ID_NOTIFY_TRANSFER_START, static_cast<int>(length));
  core_->Post(ID_NOTIFY_RECEIVE_PROGRESS, 0);

  // The buffer grows with what has arrived, never to a length merely
  // announced.
  std::vector<char> buffer;
  if (length <= CHUNK_SIZE) {
    buffer.resize(length);
    ReadExact(socket_, buffer.data(), length, Clock::now() + timeouts.progress);
  } else {
    for (std::size_t offset = 0; offset < length;) {
      const std::size_t n = std::min<std::size_t>(length - offset, CHUNK_SIZE);
      if (buffer.capacity() < offset + n)
        buffer.reserve(std::min<std::size_t>(length, std::max(kFirstPayloadReserve, 2 * buffer.capacity())));
      buffer.resize(offset + n);
      ReadExact(socket_, buffer.data() + offset, n, Clock::now() + timeouts.progress);
      offset += n;
      CheckClosing();
      core_->Post(ID_NOTIFY_RECEIVE_PROGRESS, static_cast<int>(offset));
    }
  }
  CheckClosing();
  DecodeObject(buffer.data(), buffer.size(), object, kMaxDecodedPayloadBytes);
  core_->Post(ID_NOTIFY_RECEIVE_DONE);
}

}  // namespace net
