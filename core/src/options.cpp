#include "pq/options.h"

namespace pq {
namespace {
cmn::option<int>* g_store = nullptr;
}

void SetOptionStore(cmn::option<int>* store) { g_store = store; }
cmn::option<int>* GetOptionStore() { return g_store; }

bool GetBoolOption(int id, bool def) {
  bool v = def;
  if (g_store == nullptr || !g_store->Get(id, v)) return def;
  return v;
}

void SetBoolOption(int id, bool value) {
  if (g_store != nullptr) g_store->Set(id, value);
}

}  // namespace pq
