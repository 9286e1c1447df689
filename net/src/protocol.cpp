// The archive reader comes first, so the class exports of what is decoded
// here register it too.
#include "cmn/iarchive.h"

#include "net/protocol.h"

#include <mutex>
#include <vector>

#include <wx/mstream.h>

#include "cmn/archive.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"

namespace net {

namespace {

std::mutex g_timeoutsLock;
Timeouts g_timeouts;

}  // namespace

Timeouts GetTimeouts() {
  std::lock_guard<std::mutex> guard(g_timeoutsLock);
  return g_timeouts;
}

void SetTimeouts(const Timeouts& timeouts) {
  std::lock_guard<std::mutex> guard(g_timeoutsLock);
  g_timeouts = timeouts;
}

template <class T>
cmn::mblock<char> EncodeObject(const T& object) {
  try {
    wxMemoryOutputStream out;
    cmn::WriteArchive(out, [&](cmn::oarchive& ar) { ar << object; });
    const std::size_t size = static_cast<std::size_t>(out.GetLength());
    if (size == 0) return cmn::mblock<char>();
    cmn::mblock<char> body(size);
    out.CopyTo(body.data(), size);
    return body;
  } catch (...) {
    return cmn::mblock<char>();
  }
}

template <class T>
void DecodeObject(const char* data, std::size_t size, T& object, std::size_t budget) {
  if (size == 0) return;
  wxMemoryInputStream body(data, size);
  cmn::ReadArchive(body, [&](cmn::iarchive& ar) { ar >> object; }, budget);
}

void ReadExact(Socket& socket, void* buffer, std::size_t n, Deadline deadline) {
  auto* at = static_cast<char*>(buffer);
  for (std::size_t done = 0; done < n;) {
    const long got = socket.Receive(at + done, n - done, deadline);
    if (got <= 0) throw e_failed();
    done += static_cast<std::size_t>(got);
  }
}

void WriteExact(Socket& socket, const void* buffer, std::size_t n, Deadline deadline) {
  const auto* at = static_cast<const char*>(buffer);
  for (std::size_t done = 0; done < n;) {
    const long sent = socket.Send(at + done, n - done, deadline);
    if (sent <= 0) throw e_failed();
    done += static_cast<std::size_t>(sent);
  }
}

std::uint32_t ReadUInt32(Socket& socket, Deadline deadline) {
  unsigned char raw[4];
  ReadExact(socket, raw, sizeof raw, deadline);
  return std::uint32_t(raw[0]) | (std::uint32_t(raw[1]) << 8) | (std::uint32_t(raw[2]) << 16) |
         (std::uint32_t(raw[3]) << 24);
}

void WriteUInt32(Socket& socket, std::uint32_t value, Deadline deadline) {
  const unsigned char raw[4] = {static_cast<unsigned char>(value & 0xFF), static_cast<unsigned char>((value >> 8) & 0xFF),
                                static_cast<unsigned char>((value >> 16) & 0xFF),
                                static_cast<unsigned char>((value >> 24) & 0xFF)};
  WriteExact(socket, raw, sizeof raw, deadline);
}

template <class T>
bool WriteMessage(Socket& socket, const T& message, Deadline deadline) {
  const cmn::mblock<char> body = EncodeObject(message);
  if (body.empty() || body.size() > kMaxControlBytes) return false;
  WriteUInt32(socket, static_cast<std::uint32_t>(body.size()), deadline);
  WriteExact(socket, body.data(), body.size(), deadline);
  return true;
}

template <class T>
void ReadMessage(Socket& socket, T& message, Deadline deadline) {
  const std::uint32_t length = ReadUInt32(socket, deadline);
  if (length > kMaxControlBytes) throw e_failed();
  std::vector<char> body(length);
  ReadExact(socket, body.data(), body.size(), deadline);
  DecodeObject(body.data(), body.size(), message, kMaxControlBytes);
}

template cmn::mblock<char> EncodeObject(const QueryInfo&);
template cmn::mblock<char> EncodeObject(const ReplyInfo&);
template cmn::mblock<char> EncodeObject(const pq::Record&);
template cmn::mblock<char> EncodeObject(const pq::RecordList&);
template cmn::mblock<char> EncodeObject(const pq::History&);
template void DecodeObject(const char*, std::size_t, QueryInfo&, std::size_t);
template void DecodeObject(const char*, std::size_t, ReplyInfo&, std::size_t);
template void DecodeObject(const char*, std::size_t, pq::Record&, std::size_t);
template void DecodeObject(const char*, std::size_t, pq::RecordList&, std::size_t);
template void DecodeObject(const char*, std::size_t, pq::History&, std::size_t);
template bool WriteMessage(Socket&, const QueryInfo&, Deadline);
template bool WriteMessage(Socket&, const ReplyInfo&, Deadline);
template void ReadMessage(Socket&, QueryInfo&, Deadline);
template void ReadMessage(Socket&, ReplyInfo&, Deadline);

}  // namespace net
