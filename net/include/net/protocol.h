#pragma once
// The wire protocol between two copies of the program. One TCP connection
// carries one object (a record, a record list or a history) from a client to
// a server:
//   client: the 4 bytes AC 87 06 0A; server: the same 4 bytes back;
//   client: a query frame; server: a reply frame (result 0 accepts);
//   client: the payload frame, its body moved in pieces of 1024 bytes.
// A frame is a 32-bit little-endian length and that many bytes of a zlib
// stream holding one text archive with one object saved by value.
//
// What a peer sends is bounded before it is trusted: control frames are
// small, a payload has a cap, buffers grow only as bytes arrive, decoding
// has a budget of decompressed bytes, and every wait has a deadline.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/serialization/level.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>

#include "cmn/archive.h"
#include "cmn/mblock.h"
#include "net/socket.h"

namespace pq {
class Record;
class RecordList;
class History;
}  // namespace pq

namespace net {

constexpr std::uint32_t HANDSHAKE_MAGIC = 0x0A0687AC;
// Largest single read or write of payload bytes.
constexpr std::size_t CHUNK_SIZE = 1024;

// What a payload holds (QueryInfo::kind).
enum ObjectKind : int { KIND_RECORD = 0, KIND_RECORD_LIST = 1, KIND_HISTORY = 2 };

// ReplyInfo::result.
enum ReplyResult : int {
  RESULT_ACCEPTED = 0,
  RESULT_WRONG_VERSION = 1,
  RESULT_WRONG_KIND = 2,
  RESULT_NOT_TRUSTED = 3,
};
// ReplyInfo::flags bit of a refusal as not trusted.
constexpr int REPLY_FLAG_NOT_TRUSTED = 4;

// Bounds on what a peer can make us hold.
// A query or reply frame, on the wire and decompressed.
constexpr std::size_t kMaxControlBytes = 64 * 1024;
// A payload on the wire; notices carry its length as an int.
constexpr std::size_t kMaxPayloadBytes = std::size_t(512) << 20;
// A payload decoded: the reader's budget of a history or record-list file,
// which holds the same objects.
constexpr std::size_t kMaxDecodedPayloadBytes = cmn::kFileReadBudget;

// How long a transfer may wait. A time-out ends it like a socket failure.
struct Timeouts {
  std::chrono::milliseconds connect{15000};  // the connection to be made
  std::chrono::milliseconds control{30000};  // handshake, query and reply together
  std::chrono::milliseconds progress{60000};  // each piece of the payload
};
Timeouts GetTimeouts();
// For tests; transfers that start later use them.
void SetTimeouts(const Timeouts& timeouts);

// The client's request.
struct QueryInfo {
  std::string user;  // the client's login name
  int kind = -1;     // ObjectKind
  int version = -1;  // the client's APP_VERSION_CODE
  int flags = 0;     // written as 0, never read
  int revision = 1;  // never read

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & user;
    ar & kind;
    ar & version;
    ar & flags;
    ar & revision;
  }
};

// The server's answer.
struct ReplyInfo {
  int result = -1;   // ReplyResult
  int version = -1;  // the server's APP_VERSION_CODE, whatever the result
  int flags = 0;     // REPLY_FLAG_NOT_TRUSTED with RESULT_NOT_TRUSTED
  int revision = 1;  // never read

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & result;
    ar & version;
    ar & flags;
    ar & revision;
  }
};

// What ends a transfer (caught at the edge of its thread).
struct e_failed {};                          // socket failure, time-out, refusal
struct e_connect_failed : e_failed {};       // the client's connection not made
struct e_app_closing {};                     // the application shuts down

// The frame body of an object: a zlib stream of a text archive holding it.
// Empty when it cannot be encoded.
template <class T>
cmn::mblock<char> EncodeObject(const T& object);
// Reads a frame body into `object` (which the caller made fresh) with the
// foundation's bounded reader and `budget` (cmn::ReadBudget: the archive
// text decompressed and what the objects built take). Throws the archive's
// or stream's exception (std::exception) on damaged data or past the
// budget. Zero bytes decode nothing.
template <class T>
void DecodeObject(const char* data, std::size_t size, T& object, std::size_t budget);

// Exactly n bytes, or e_failed (socket failure, the peer closed, or the
// deadline passed). Zero bytes move nothing.
void ReadExact(Socket& socket, void* buffer, std::size_t n, Deadline deadline);
void WriteExact(Socket& socket, const void* buffer, std::size_t n, Deadline deadline);
// The handshake value and frame lengths: 4 bytes, little-endian.
std::uint32_t ReadUInt32(Socket& socket, Deadline deadline);
void WriteUInt32(Socket& socket, std::uint32_t value, Deadline deadline);

// A control frame (query or reply). WriteMessage is false, writing nothing,
// when the object cannot be encoded; a socket failure throws e_failed.
template <class T>
bool WriteMessage(Socket& socket, const T& message, Deadline deadline);
// A length above kMaxControlBytes throws e_failed before anything is
// allocated; a damaged body throws the archive's exception.
template <class T>
void ReadMessage(Socket& socket, T& message, Deadline deadline);

}  // namespace net

BOOST_CLASS_IMPLEMENTATION(net::QueryInfo, object_class_info)
BOOST_CLASS_TRACKING(net::QueryInfo, track_never)
BOOST_CLASS_IMPLEMENTATION(net::ReplyInfo, object_class_info)
BOOST_CLASS_TRACKING(net::ReplyInfo, track_never)
