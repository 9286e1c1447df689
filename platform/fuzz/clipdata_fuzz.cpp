// Clipboard data other applications hand us, decoded as the layer decodes
// it, with the property each decoder must keep. The first byte picks the
// decoder, the rest is the data:
//   'B' a packed bitmap: packed again at its own depth, it decodes to the
//       same pixels;
//   'M' an enhanced metafile, through the clipboard: offered as the other
//       kind of metafile and read back in both (the sanitizers watch the
//       arithmetic);
//   'S' a storage's bytes: every element opens by the name it is listed
//       under, and a copy holds the same elements with the same contents;
//   'P' a PNG file, its chunks' CRCs made right first (so that what is
//       changed reaches the decoder): decoded on demand, a part first, it
//       gives what decoding it whole gives, and that encodes and decodes
//       again to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/sim/clipboard.h"
#include "platform/sim/desktop.h"
#include "platform/storage.h"
#include "platform/window.h"
#include "sandbox.h"

namespace sim = platform::sim;

namespace {

[[noreturn]] void Fail() { std::abort(); }

std::vector<std::uint32_t> Pixels(HBITMAP bm) {
  platform::BitmapPixels px;
  if (!platform::ReadBitmapPixels(bm, &px)) Fail();
  return px.argb;
}

void Bitmap(const BYTE* data, std::size_t size) {
  HBITMAP bm = platform::BitmapFromPackedDib(data, size);
  if (!bm) return;
  const std::vector<BYTE> packed = platform::PackedDibFromBitmap(bm);
  HBITMAP again = packed.empty() ? nullptr : platform::BitmapFromPackedDib(packed.data(), packed.size());
  if (!again || Pixels(again) != Pixels(bm)) Fail();
  DeleteObject(again);
  DeleteObject(bm);
}

void Metafile(const BYTE* data, std::size_t size) {
  sim::Reset();
  sim::ProcessSpec spec;
  spec.exePath = L"/usr/bin/drawing";
  const DWORD thread = sim::MainThread(sim::CreateProcess(spec));
  sim::WindowSpec frame;
  frame.thread = thread;
  frame.className = L"DrawingFrame";
  const HWND owner = sim::AddWindow(frame);
  if (!sim::PutClipboard(owner, {sim::EnhMetaFile(std::vector<BYTE>(data, data + size))})) return;
  if (!OpenClipboard(nullptr)) Fail();
  GetClipboardData(CF_METAFILEPICT);
  GetClipboardData(CF_ENHMETAFILE);
  CloseClipboard();
}

// Every element as its path and contents ("" for a storage), reached by the
// names the storage lists.
void Walk(IStorage* stg, const std::wstring& at, std::map<std::wstring, std::string>& out) {
  IEnumSTATSTG* e = nullptr;
  if (FAILED(stg->EnumElements(0, nullptr, 0, &e))) Fail();
  STATSTG st;
  ULONG got = 0;
  while (e->Next(1, &st, &got) == S_OK && got == 1) {
    const std::wstring name = st.pwcsName;
    CoTaskMemFree(st.pwcsName);
    const DWORD mode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (st.type == STGTY_STORAGE) {
      IStorage* sub = nullptr;
      if (FAILED(stg->OpenStorage(name.c_str(), nullptr, mode, nullptr, 0, &sub))) Fail();
      out[at + L"/" + name] = "";
      Walk(sub, at + L"/" + name, out);
      sub->Release();
    } else {
      IStream* s = nullptr;
      if (FAILED(stg->OpenStream(name.c_str(), nullptr, mode, 0, &s))) Fail();
      std::string bytes;
      char buf[4096];
      ULONG n = 0;
      while (SUCCEEDED(s->Read(buf, sizeof buf, &n)) && n) bytes.append(buf, n);
      s->Release();
      out[at + L"/" + name] = bytes;
    }
  }
  e->Release();
}

void Storage(const BYTE* data, std::size_t size) {
  IStorage* stg = nullptr;
  if (platform::StorageFromBytes(data, size, &stg) != S_OK) return;
  std::map<std::wstring, std::string> original, copied;
  Walk(stg, L"", original);
  IStorage* copy = nullptr;
  if (FAILED(platform::CopyStorageToNew(stg, &copy))) Fail();
  Walk(copy, L"", copied);
  if (copied != original) Fail();
  copy->Release();
  stg->Release();
}

std::uint32_t Be32(const BYTE* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

void Png(const BYTE* data, std::size_t size) {
  auto file = std::make_shared<std::vector<BYTE>>(data, data + size);
  std::vector<BYTE>& b = *file;
  for (std::size_t pos = 8; pos + 12 <= b.size();) {
    const std::uint32_t length = Be32(&b[pos]);
    if (length > b.size() - pos - 12) break;
    const auto crc = std::uint32_t(crc32(0, &b[pos + 4], length + 4));
    for (int i = 0; i < 4; ++i) b[pos + 8 + length + i] = BYTE(crc >> (24 - 8 * i));
    pos += 12 + length;
  }
  // A small pixel budget keeps each input fast; the mechanism is the real one.
  constexpr std::uint64_t kPixels = std::uint64_t(1) << 20;
  HBITMAP whole = platform::BitmapFromPng(b.data(), b.size(), kPixels);
  HBITMAP lazy = platform::BitmapFromPngOnDemand(std::shared_ptr<const BYTE>(file, b.data()), b.size(), kPixels);
  if (whole && !lazy) Fail();
  if (lazy) {
    BITMAP info;
    if (GetObjectW(lazy, sizeof info, &info) == 0) Fail();
    platform::BitmapPixels part;
    if (!platform::ReadBitmapPixels(lazy, RECT{0, 0, info.bmWidth, info.bmHeight / 2}, &part)) Fail();
    if (whole && Pixels(lazy) != Pixels(whole)) Fail();
    const std::vector<BYTE> again = platform::PngFromBitmap(lazy);
    HBITMAP back = platform::BitmapFromPng(again.data(), again.size());
    if (!back || Pixels(back) != Pixels(lazy)) Fail();
    DeleteObject(back);
    DeleteObject(lazy);
  }
  if (whole) DeleteObject(whole);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  testing_sandbox::Enter();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const BYTE* body = data + 1;
  const std::size_t n = size - 1;
  switch (data[0]) {
    case 'B':
      Bitmap(body, n);
      break;
    case 'M':
      Metafile(body, n);
      break;
    case 'S':
      Storage(body, n);
      break;
    case 'P':
      Png(body, n);
      break;
    default:
      break;
  }
  return 0;
}
