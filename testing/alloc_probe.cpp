#include "alloc_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Every block carries its size in front, so that delete can count it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};
std::atomic<long long> g_live{0};
std::atomic<long long> g_base{0};
std::atomic<long long> g_peak{0};

void* Allocate(std::size_t n) {
  void* raw = std::malloc(n + kHeader);
  if (!raw) return nullptr;
  *static_cast<std::size_t*>(raw) = n;
  const long long live = g_live.fetch_add(static_cast<long long>(n)) + static_cast<long long>(n);
  if (g_watching.load(std::memory_order_relaxed)) {
    std::size_t big = g_largest.load();
    while (n > big && !g_largest.compare_exchange_weak(big, n)) {
    }
    long long peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
  }
  return static_cast<char*>(raw) + kHeader;
}

void Free(void* p) {
  if (!p) return;
  void* raw = static_cast<char*>(p) - kHeader;
  g_live.fetch_sub(static_cast<long long>(*static_cast<std::size_t*>(raw)));
  std::free(raw);
}

void* AllocateOrThrow(std::size_t n) {
  void* p = Allocate(n);
  if (!p) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t n) { return AllocateOrThrow(n); }
void* operator new[](std::size_t n) { return AllocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }

namespace testing_alloc {

Probe::Probe() {
  g_largest = 0;
  g_base = g_live.load();
  g_peak = g_base.load();
  g_watching = true;
}

Probe::~Probe() { g_watching = false; }

std::size_t Probe::Largest() const { return g_largest.load(); }

std::size_t Probe::Peak() const {
  const long long d = g_peak.load() - g_base.load();
  return d > 0 ? static_cast<std::size_t>(d) : 0;
}

long long Probe::Live() const { return g_live.load() - g_base.load(); }

}  // namespace testing_alloc
