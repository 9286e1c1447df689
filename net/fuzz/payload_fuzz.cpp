// A payload from a trusted peer: the first byte says the kind (record, record
// list, history), the rest is the frame body (compressed first when it is
// no zlib stream, testing/fuzz_archive.h), decoded within the receiver's
// budget into a fresh object as the receiver does, then filed into a list
// the way the server files it.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <string>

#include <boost/make_shared.hpp>

#include "fuzz_archive.h"
#include "net/protocol.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"

namespace {
// The server files what it received; a decoded object must survive that.
void File(pq::RecordList& list, pq::RecordList& target) {
  for (unsigned i = list.GetCount(); i-- > 0;)
    if (const pq::RecordPtr r = list.GetRecord(i)) target.AddRecord(r);
  list.Clear();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string frame = testing_fuzz::ZlibStream(data + 1, size - 1);
  const char* body = frame.data();
  const std::size_t length = frame.size();
  pq::RecordList target;
  try {
    switch (data[0] % 3) {
      case net::KIND_RECORD: {
        auto record = boost::make_shared<pq::Record>();
        net::DecodeObject(body, length, *record, net::kMaxDecodedPayloadBytes);
        target.AddRecord(record);
        break;
      }
      case net::KIND_RECORD_LIST: {
        auto list = std::make_unique<pq::RecordList>();
        net::DecodeObject(body, length, *list, net::kMaxDecodedPayloadBytes);
        File(*list, target);
        break;
      }
      default: {
        auto history = std::make_unique<pq::History>();
        net::DecodeObject(body, length, *history, net::kMaxDecodedPayloadBytes);
        for (pq::RecordList* list : history->GetLists())
          if (list) File(*list, target);
        break;
      }
    }
  } catch (const std::exception&) {
  }
  return 0;
}
