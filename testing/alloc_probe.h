#pragma once
// Watches what a piece of code allocates through operator new: the largest
// single allocation and the most that was live at once while the probe
// stood. For tests that a decoder allocates as bytes arrive, not as sizes
// are announced. Linking this replaces the global operator new of the test
// binary (never of a fuzz target: the sanitizers own it there).
#include <cstddef>

namespace testing_alloc {

class Probe {
 public:
  Probe();  // one at a time
  ~Probe();
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  std::size_t Largest() const;
  // Most bytes live at once beyond what was live when the probe started.
  std::size_t Peak() const;
  // Bytes live now beyond what was live when the probe started (negative
  // when more was freed).
  long long Live() const;
};

}  // namespace testing_alloc
