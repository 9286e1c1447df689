#pragma once
// The text of benchmark records: words of the program's own vocabulary with
// a line break now and then, `bytes` long, the same for the same generator.
#include <cstddef>
#include <random>
#include <string>

namespace bench {

inline std::string Words(std::mt19937& rng, std::size_t bytes) {
  static const char* const words[] = {"clipboard", "record", "paste", "history", "window", "list",
                                      "format",    "search", "Text",  "value",   "number", "line"};
  std::string s;
  while (s.size() < bytes) {
    s += words[rng() % (sizeof words / sizeof *words)];
    s += (rng() % 9 == 0) ? '\n' : ' ';
  }
  s.resize(bytes);
  return s;
}

}  // namespace bench
