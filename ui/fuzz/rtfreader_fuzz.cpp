// The RTF reader on arbitrary bytes: besides not crashing, what it returns
// must be fit for the view (valid UTF-8, runs that cover the text exactly,
// nothing a text control would cut or mangle, the cap kept).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/clipformats.h"
#include "rtfreader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RtfDocument doc = ReadRtf(reinterpret_cast<const char*>(data), size);
  // Valid UTF-8 comes back unchanged from its wide form.
  const int n = static_cast<int>(doc.text.size());
  std::wstring text(std::size_t(MultiByteToWideChar(CP_UTF8, 0, doc.text.data(), n, nullptr, 0)), L'\0');
  if (!text.empty()) MultiByteToWideChar(CP_UTF8, 0, doc.text.data(), n, &text[0], int(text.size()));
  const int units = static_cast<int>(text.size());
  std::string back(
      std::size_t(WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr)), '\0');
  if (!back.empty())
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &back[0], int(back.size()), nullptr, nullptr);
  if (back != doc.text || text.size() > kRtfMaxText) std::abort();

  std::size_t at = 0;
  for (std::size_t i = 0; i < doc.runs.size(); ++i) {
    const RtfRun& run = doc.runs[i];
    if (run.start != at || run.length == 0 || run.style >= doc.styles.size()) std::abort();
    if (i > 0 && run.style == doc.runs[i - 1].style) std::abort();
    at += run.length;
  }
  if (at != text.size()) std::abort();
  for (std::size_t i = 0; i < doc.styles.size(); ++i)
    for (std::size_t j = i + 1; j < doc.styles.size() && j < i + 64; ++j)
      if (doc.styles[i] == doc.styles[j]) std::abort();
  if (HasRtfSignature(reinterpret_cast<const char*>(data), size)) {
    for (wchar_t c : text)
      if (c < 0x20 && c != L'\t' && c != L'\n') std::abort();
  }
  return 0;
}
