#include "pq/tagid.h"

#include <mutex>
#include <unordered_map>

namespace pq {
namespace tagid {
namespace {

struct Table {
  std::mutex lock;
  std::uint32_t next = 1;
  std::unordered_map<const void*, std::uint32_t> ids;
  std::unordered_map<std::uint32_t, const void*> objects;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

std::uint32_t Register(const void* object) {
  if (object == nullptr) return 0;
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  auto found = t.ids.find(object);
  if (found != t.ids.end()) return found->second;
  // Ids only grow; after four billion registrations in one process we would
  // rather stop naming objects than hand out an id twice.
  if (t.next == 0) return 0;
  std::uint32_t id = t.next++;
  t.ids.emplace(object, id);
  t.objects.emplace(id, object);
  return id;
}

const void* Resolve(std::uint32_t id) {
  if (id == 0) return nullptr;
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  auto found = t.objects.find(id);
  return found == t.objects.end() ? nullptr : found->second;
}

void Forget(const void* object) {
  if (object == nullptr) return;
  Table& t = TheTable();
  std::lock_guard<std::mutex> guard(t.lock);
  auto found = t.ids.find(object);
  if (found == t.ids.end()) return;
  t.objects.erase(found->second);
  t.ids.erase(found);
}

}  // namespace tagid
}  // namespace pq
