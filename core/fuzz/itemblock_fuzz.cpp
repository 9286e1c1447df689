// A record's item block, as a file or a peer brings it: the first four bytes
// are the text index (little-endian), the rest the block. Unpack it, and
// when it unpacks, pack what came out again.
#include <cstdint>
#include <cstring>
#include <exception>

#include "fuzz_archive.h"
#include "loaders.h"
#include "pq/dataobject.h"
#include "pq/record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  pq::Record record;
  std::uint32_t index = 0;
  std::memcpy(&index, data, 4);
  record.textIndex = static_cast<std::int32_t>(index);
  const std::string block = testing_fuzz::ZlibStream(data + 4, size - 4);
  record.items.assign(block.data(), block.size());
  pq::DataObject* d = nullptr;
  try {
    d = record.CreateDataObject(nullptr);
  } catch (const std::exception&) {
    return 0;
  }
  if (!d) return 0;
  // Without its tag, what came out is a clip: it packs again and unpacks to
  // as many items.
  std::vector<pq::Item*>& items = d->Items();
  delete items.back();
  items.pop_back();
  const std::size_t count = items.size();
  pq::Record again;
  if (count != 0 && again.SetItems(*d)) {
    pq::DataObject* back = again.CreateDataObject(nullptr);
    if (!back || back->Items().size() != count + 1) core_fuzz::Fail();
    back->Release();
  }
  d->Release();
  return 0;
}
