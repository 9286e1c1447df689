#include "net_fixture.h"

#include <poll.h>

#include <algorithm>

#include <boost/make_shared.hpp>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/mstream.h>
#include <wx/zstream.h>

#include "appnotify.h"
#include "options.h"

namespace nettest {

bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
  wxEventLoopBase* loop = wxEventLoopBase::GetActive();
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    wxTheApp->ProcessPendingEvents();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    loop->DispatchTimeout(5);
  }
}

std::uint32_t Address(const std::string& dotted) {
  std::uint32_t a = 0;
  net::Endpoint::ParseAddress(dotted, a);
  return a;
}

void RecordingServices::Log(int level, const wxString& text) {
  const char* name = level == Info ? "Info" : level == Warning ? "Warning" : "Level?";
  std::lock_guard<std::mutex> guard(lock_);
  lines_.push_back(std::string(name) + ": " + text.utf8_string());
}

std::vector<std::string> RecordingServices::Lines() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lines_;
}

std::vector<std::string> RecordingServices::TransferLines() const {
  std::vector<std::string> lines = Lines();
  lines.erase(std::remove(lines.begin(), lines.end(), "Info: Network server (record receiver) started successfully."),
              lines.end());
  return lines;
}

bool RecordingServices::Has(const std::string& line) const {
  std::lock_guard<std::mutex> guard(lock_);
  for (const std::string& l : lines_)
    if (l == line) return true;
  return false;
}

std::size_t RecordingServices::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lines_.size();
}

cmn::mblock<char> Deflate(const std::string& text) {
  wxMemoryOutputStream out;
  {
    wxZlibOutputStream zlib(out, wxZ_DEFAULT_COMPRESSION, wxZLIB_ZLIB);
    zlib.Write(text.data(), text.size());
    zlib.Close();
  }
  cmn::mblock<char> body(static_cast<std::size_t>(out.GetLength()));
  out.CopyTo(body.data(), body.size());
  return body;
}

std::string Inflate(const cmn::mblock<char>& body) {
  wxMemoryInputStream in(body.data(), body.size());
  wxZlibInputStream zlib(in, wxZLIB_ZLIB);
  std::string text;
  char buffer[65536];
  do {
    zlib.Read(buffer, sizeof buffer);
    text.append(buffer, zlib.LastRead());
  } while (zlib.LastRead() > 0);
  return text;
}

std::string Frame(const cmn::mblock<char>& body) {
  std::string f(4, '\0');
  for (int i = 0; i < 4; ++i) f[i] = static_cast<char>((body.size() >> (8 * i)) & 0xFF);
  return f + std::string(body.data(), body.size());
}

pq::RecordPtr TextRecord(const std::string& text) {
  auto r = boost::make_shared<pq::Record>();
  r->SetText(wxString::FromUTF8(text));
  r->application = "/usr/bin/editor";
  return r;
}

std::vector<std::string> Texts(const pq::RecordList& list) {
  std::vector<std::string> out;
  for (const pq::RecordPtr& r : list.GetRecords()) out.push_back(r ? r->text : "<null>");
  return out;
}

Peer::Peer(const std::string& a, bool listen) : address(a) {
  history.CreateDefaultLists();
  server = std::make_unique<net::Server>(config, history, &services);
  server->SetLocalAddress(Address(address));
  server->Bind(
      EVT_APP_NOTIFY,
      [this](wxCommandEvent& e) {
        notices.emplace_back(e.GetId(), e.GetInt());
        e.Skip();
      },
      ID_NOTIFY_NET_FIRST, ID_NOTIFY_NET_LAST);
  config.options.Set(OPT_RECEIVER_PORT, 0);
  if (listen) config.options.Set(OPT_RECEIVE_ENABLED, true);
}

Peer::~Peer() {
  if (server) server->Shutdown();
  server.reset();
}

NetworkAddress Peer::Where() const { return NetworkAddress(wxString::FromUTF8(address), server->GetPort()); }

void Peer::Trust(const std::string& host, const std::string& user, const std::string& list) {
  TrustedClientList clients;
  config.GetTrustedClients(clients);
  clients.push_back(TrustedClient(wxString::FromUTF8(host), wxString::FromUTF8(user), wxString::FromUTF8(list)));
  config.SetTrustedClients(clients);
}

pq::RecordList* Peer::List(const std::string& name) {
  for (pq::RecordList* l : history.GetLists())
    if (l->name == name) return l;
  return nullptr;
}

pq::RecordList& Peer::AddList(const std::string& name) {
  auto* list = new pq::RecordList;
  list->name = name;
  history.InsertRecordList(list, static_cast<unsigned>(history.GetLists().size()));
  return *list;
}

std::vector<int> Peer::NoticeValues(int id) const {
  std::vector<int> values;
  for (const auto& n : notices)
    if (n.first == id) values.push_back(n.second);
  return values;
}

std::size_t Peer::NoticeCount(int id) const { return NoticeValues(id).size(); }

namespace {
// The server takes connections on this thread's loop: a raw client waits
// for an answer while it runs.
bool WaitReadable(net::Socket& s, std::chrono::milliseconds limit = 5s) {
  return RunUntil(
      [&] {
        pollfd p{s.Fd(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
      },
      limit);
}
}  // namespace

bool RawClient::Connect(const std::string& from, int port, const std::string& to) {
  if (!socket.Open(net::Endpoint{Address(from), 0})) return false;
  return socket.StartConnect(net::Endpoint{Address(to), port}) &&
         socket.FinishConnect(std::chrono::steady_clock::now() + 5s);
}

bool RawClient::Write(const std::string& bytes) {
  try {
    net::WriteExact(socket, bytes.data(), bytes.size(), std::chrono::steady_clock::now() + 5s);
    return true;
  } catch (const net::e_failed&) {
    return false;
  }
}

bool RawClient::WriteUInt32(std::uint32_t v) {
  const unsigned char raw[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
  return Write(std::string(reinterpret_cast<const char*>(raw), 4));
}

bool RawClient::WriteFrame(const cmn::mblock<char>& body) {
  return WriteUInt32(static_cast<std::uint32_t>(body.size())) && Write(std::string(body.data(), body.size()));
}

bool RawClient::Handshake() {
  try {
    if (!WriteUInt32(net::HANDSHAKE_MAGIC)) return false;
    WaitReadable(socket);
    return net::ReadUInt32(socket, std::chrono::steady_clock::now() + 5s) == net::HANDSHAKE_MAGIC;
  } catch (const net::e_failed&) {
    return false;
  }
}

bool RawClient::Query(const std::string& user, int kind, int version) {
  net::QueryInfo q;
  q.user = user;
  q.kind = kind;
  q.version = version;
  try {
    return net::WriteMessage(socket, q, std::chrono::steady_clock::now() + 5s);
  } catch (const net::e_failed&) {
    return false;
  }
}

net::ReplyInfo RawClient::Reply() {
  net::ReplyInfo r;
  try {
    WaitReadable(socket);
    net::ReadMessage(socket, r, std::chrono::steady_clock::now() + 5s);
  } catch (...) {
    r = net::ReplyInfo();
  }
  return r;
}

bool RawClient::WaitClosed(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  char buffer[4096];
  do {
    if (!WaitReadable(socket, std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())))
      return false;
  } while (socket.Receive(buffer, sizeof buffer, end) > 0);
  return std::chrono::steady_clock::now() < end;
}

ScriptedServer::ScriptedServer(const std::string& address, std::function<void(net::Socket&)> serve)
    : address_(address), serve_(std::move(serve)) {
  listener_.Open(net::Endpoint{Address(address), 0});
  acceptor_ = std::thread([this] {
    while (!stop_) {
      pollfd p{listener_.Fd(), POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      net::Socket s;
      net::Endpoint peer;
      if (listener_.Accept(s, peer) != net::Listener::AcceptResult::Accepted) continue;
      ++connections_;
      threads_.emplace_back([this, socket = std::make_shared<net::Socket>(std::move(s))] {
        {
          std::lock_guard<std::mutex> guard(lock_);
          if (stop_) return;
          open_.push_back(socket.get());
        }
        try {
          serve_(*socket);
        } catch (...) {
        }
        std::lock_guard<std::mutex> guard(lock_);
        open_.erase(std::find(open_.begin(), open_.end(), socket.get()));
      });
    }
  });
}

ScriptedServer::~ScriptedServer() {
  stop_ = true;
  acceptor_.join();
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (net::Socket* s : open_) s->Shutdown();
  }
  for (std::thread& t : threads_) t.join();
}

NetworkAddress ScriptedServer::Where() const { return NetworkAddress(wxString::FromUTF8(address_), Port()); }

net::QueryInfo ServeQuery(net::Socket& s, int result) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  net::QueryInfo query;
  if (net::ReadUInt32(s, deadline) != net::HANDSHAKE_MAGIC) return query;
  net::WriteUInt32(s, net::HANDSHAKE_MAGIC, deadline);
  net::ReadMessage(s, query, deadline);
  net::ReplyInfo reply;
  reply.result = result;
  reply.version = 3000003;
  net::WriteMessage(s, reply, deadline);
  if (result == 0) {
    std::vector<char> payload(net::ReadUInt32(s, deadline));
    net::ReadExact(s, payload.data(), payload.size(), deadline);
  }
  return query;
}

ShortTimeouts::ShortTimeouts(std::chrono::milliseconds control, std::chrono::milliseconds progress,
                             std::chrono::milliseconds connect)
    : saved_(net::GetTimeouts()) {
  net::Timeouts t;
  t.connect = connect;
  t.control = control;
  t.progress = progress;
  net::SetTimeouts(t);
}

ShortTimeouts::~ShortTimeouts() { net::SetTimeouts(saved_); }

}  // namespace nettest
