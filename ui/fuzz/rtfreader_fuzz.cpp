// The RTF reader on arbitrary bytes: besides not crashing, what it returns
// must be fit for the view (runs that cover the text exactly, nothing a text
// control would cut or mangle, the cap kept).
#include <cstdint>
#include <cstdlib>

#include "rtfreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RtfDocument doc = ReadRtf(reinterpret_cast<const char*>(data), size);
  if (doc.text.size() > kRtfMaxText) std::abort();
  std::size_t at = 0;
  for (std::size_t i = 0; i < doc.runs.size(); ++i) {
    const RtfRun& run = doc.runs[i];
    if (run.start != at || run.length == 0) std::abort();
    if (i > 0 && run.style == doc.runs[i - 1].style) std::abort();
    at += run.length;
  }
  if (at != doc.text.size()) std::abort();
  if (HasRtfSignature(reinterpret_cast<const char*>(data), size)) {
    for (wchar_t c : doc.text)
      if ((c < 0x20 && c != L'\t' && c != L'\n') || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
        std::abort();
  }
  return 0;
}
