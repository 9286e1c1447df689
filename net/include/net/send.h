#pragma once
// Sending a record or a record list to another computer. Both run on the GUI
// thread: they encode the object at once (so the caller may change or delete
// it right after) and start a sender thread for the destination,
// which makes one attempt and writes the outcome to the log.
#include "pq/recordlist.h"

struct NetworkAddress;

namespace net {

class Server;

// True when the sender thread runs; false without a server, when the object
// does not encode (or is too large to send, which is logged) or when the
// thread cannot be started.
bool SendRecord(Server* server, const pq::RecordPtr& record, const NetworkAddress& to);
bool SendRecordList(Server* server, const pq::RecordList* list, const NetworkAddress& to);

}  // namespace net
