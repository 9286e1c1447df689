// What other X clients hand over as clipboard data: images (PNG, bitmap
// files) and HTML. Whatever decodes must go out again and come back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "html_format.h"
#include "images.h"
#include "platform/global.h"

namespace {

using namespace platform::x11::detail;

std::vector<BYTE> Bytes(HGLOBAL h) {
  std::vector<BYTE> out(GlobalSize(h));
  if (!out.empty()) std::memcpy(out.data(), GlobalLock(h), out.size());
  GlobalUnlock(h);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<unsigned char> in(data, data + size);
  if (HGLOBAL dib = DibFromPng(in)) {
    std::vector<BYTE> pixels = Bytes(dib);
    GlobalFree(dib);
    HGLOBAL again = DibFromPng(PngFromDib(pixels));
    if (!again || Bytes(again) != pixels) std::abort();
    GlobalFree(again);
  }
  std::vector<BYTE> fromFile = DibFromBmp(in);
  if (!fromFile.empty() && DibFromBmp(BmpFromDib(fromFile)) != fromFile) std::abort();
  const std::string text(in.begin(), in.end());
  HtmlFromHtmlFormat(text);
  if (HtmlFromHtmlFormat(BuildHtmlFormat(text)).empty() && !text.empty() && text.find('\0') == std::string::npos)
    std::abort();
  return 0;
}
