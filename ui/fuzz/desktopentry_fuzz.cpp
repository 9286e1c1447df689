// Fuzz target: desktop entries are files of other packages, read as text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "desktopentry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DesktopEntry entry;
  if (ParseDesktopEntry(text, entry)) {
    // What the lookup relies on: named programs, each a bare name.
    for (const std::string& program : entry.programs) {
      if (program.empty() || program.find('/') != std::string::npos) __builtin_trap();
    }
    if (entry.icon.empty()) __builtin_trap();
  }
  ExecProgram(text);
  return 0;
}
