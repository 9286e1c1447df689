#include "platform/clipboard.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "clipboard_internal.h"
#include "platform/com_object.h"
#include "format_enum.h"
#include "platform/backend.h"
#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/process.h"
#include "platform/storage.h"
#include "platform/window.h"

namespace {
using platform::ComObject;
using platform::detail::FormatEnum;
using platform::detail::MakeFormatEtc;

// Bounds on what a producer may hand us.
constexpr std::size_t kMaxOffered = 4096;
constexpr std::uint64_t kMaxStreamBytes = std::uint64_t(256) << 20;

struct Entry {
  UINT format = 0;
  HANDLE data = nullptr;
  DWORD tymed = TYMED_HGLOBAL;  // what `data` is; TYMED_ISTORAGE: a block of storage bytes
  bool fromOle = false;         // rendered from the OLE object on first request
  UINT from = 0;                // synthesised from this format on first request (0: not)
  bool failed = false;          // a render or conversion failed once; not tried again
  std::shared_ptr<std::function<HANDLE()>> render;  // made on first request (SetClipboardDataLater)
};

struct State {
  std::mutex mu;
  std::vector<Entry> entries;
  std::vector<FORMATETC> offered;  // what the OLE view of the clipboard enumerates
  HWND owner = nullptr;
  bool open = false;
  HWND openWindow = nullptr;
  DWORD openThread = 0;
  bool changed = false;
  bool holding = false;
  std::uint64_t holdUntil = 0;
  DWORD sequence = 1;
  HWND viewer = nullptr;
  IDataObject* ole = nullptr;
  std::vector<FORMATETC> oleFormats;
  HWND oleWindow = nullptr;
};

State& S() {
  static State* s = new State;  // never destroyed: used until the process ends
  return *s;
}
using Lock = std::unique_lock<std::mutex>;

DWORD NaturalTymed(UINT format) {
  switch (format) {
    case CF_BITMAP:
      return TYMED_GDI;
    case CF_ENHMETAFILE:
      return TYMED_ENHMF;
    case CF_METAFILEPICT:
      return TYMED_MFPICT;
    default:
      return TYMED_HGLOBAL;
  }
}

void FreeData(HANDLE data, DWORD tymed) {
  if (!data) return;
  STGMEDIUM m{};
  m.tymed = tymed == TYMED_ISTORAGE ? TYMED_HGLOBAL : tymed;
  m.hGlobal = data;
  ReleaseStgMedium(&m);
}

void FreeEntries(std::vector<Entry>& entries) {
  for (Entry& e : entries) FreeData(e.data, e.tymed);
  entries.clear();
}

Entry* FindEntry(State& s, UINT format) {
  for (Entry& e : s.entries)
    if (e.format == format) return &e;
  return nullptr;
}

// Another thread has the clipboard open (an expired hold is closed first).
bool OpenElsewhere(State& s) {
  if (s.holding && platform::CurrentBackend().NowMs() >= s.holdUntil) {
    s.holding = false;
    s.open = false;
  }
  return s.open && s.openThread != GetCurrentThreadId();
}

bool OpenHere(State& s) {
  OpenElsewhere(s);
  return s.open && s.openThread == GetCurrentThreadId();
}

// ---- Copies and conversions ----------------------------------------------------
HGLOBAL CopyPict(HGLOBAL h) {
  if (GlobalSize(h) < sizeof(METAFILEPICT)) return nullptr;
  METAFILEPICT pict;
  std::memcpy(&pict, GlobalLock(h), sizeof pict);
  GlobalUnlock(h);
  UINT n = GetMetaFileBitsEx(pict.hMF, 0, nullptr);
  if (!n) return nullptr;
  std::vector<BYTE> bits(n);
  GetMetaFileBitsEx(pict.hMF, n, bits.data());
  pict.hMF = SetMetaFileBitsEx(n, bits.data());
  if (!pict.hMF) return nullptr;
  HGLOBAL out = platform::GlobalFromBytes(&pict, sizeof pict);
  if (!out) DeleteMetaFile(pict.hMF);
  return out;
}

// A copy of clipboard data of kind `tymed` that a receiver owns.
HANDLE CopyData(HANDLE data, DWORD tymed) {
  switch (tymed) {
    case TYMED_HGLOBAL:
    case TYMED_ISTORAGE:
      return platform::GlobalDuplicate(data);
    case TYMED_GDI:
      return CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
    case TYMED_ENHMF:
      return CopyEnhMetaFileW(static_cast<HENHMETAFILE>(data), nullptr);
    case TYMED_MFPICT:
      return CopyPict(data);
    default:
      return nullptr;
  }
}

// Bytes of a stream from its start, bounded.
HGLOBAL StreamToGlobal(IStream* stm) {
  STATSTG st;
  if (FAILED(stm->Stat(&st, STATFLAG_NONAME)) || st.cbSize.QuadPart > kMaxStreamBytes) return nullptr;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (FAILED(stm->Seek(zero, STREAM_SEEK_SET, nullptr))) return nullptr;
  std::vector<BYTE> bytes(static_cast<std::size_t>(st.cbSize.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    ULONG got = 0;
    if (FAILED(stm->Read(bytes.data() + done, static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, 1 << 20)),
                         &got)) ||
        !got)
      break;
    done += got;
  }
  return platform::GlobalFromBytes(bytes.data(), done);
}

// Turns a rendered medium into data the clipboard owns; the medium is used up.
bool TakeMedium(STGMEDIUM& m, HANDLE* data, DWORD* tymed) {
  *data = nullptr;
  bool shared = m.pUnkForRelease != nullptr;
  switch (m.tymed) {
    case TYMED_HGLOBAL:
    case TYMED_GDI:
    case TYMED_ENHMF:
    case TYMED_MFPICT:
      if (!m.hGlobal) break;
      *tymed = m.tymed;
      if (shared) {
        *data = CopyData(m.hGlobal, m.tymed);
      } else {
        *data = m.hGlobal;
        m.hGlobal = nullptr;  // taken, not released below
      }
      break;
    case TYMED_ISTORAGE: {
      std::vector<BYTE> bytes;
      if (m.pstg && SUCCEEDED(platform::StorageToBytes(m.pstg, &bytes))) {
        *data = platform::GlobalFromBytes(bytes.data(), bytes.size());
        *tymed = TYMED_ISTORAGE;
      }
      break;
    }
    case TYMED_ISTREAM:
      if (m.pstm) {
        *data = StreamToGlobal(m.pstm);
        *tymed = TYMED_HGLOBAL;
      }
      break;
    default:
      break;
  }
  if (m.hGlobal || m.pUnkForRelease) ReleaseStgMedium(&m);
  return *data != nullptr;
}

std::vector<BYTE> BlockBytes(HGLOBAL h) {
  std::vector<BYTE> out;
  SIZE_T n = GlobalSize(h);
  if (!n) return out;
  const BYTE* p = static_cast<const BYTE*>(GlobalLock(h));
  out.assign(p, p + n);
  GlobalUnlock(h);
  return out;
}

// The size of a metafile's frame side; the producer's frame may span more
// than a LONG holds, which is then the largest extent.
LONG Extent(LONG from, LONG to) {
  const std::int64_t d = std::int64_t(to) - std::int64_t(from);
  return static_cast<LONG>(std::clamp<std::int64_t>(d, std::numeric_limits<LONG>::min(),
                                                    std::numeric_limits<LONG>::max()));
}

HANDLE Synthesize(UINT format, const Entry& src) {
  switch (format) {
    case CF_LOCALE: {
      LCID lcid = GetUserDefaultLCID();
      return platform::GlobalFromBytes(&lcid, sizeof lcid);
    }
    case CF_TEXT: {
      std::vector<BYTE> b = BlockBytes(src.data);
      std::string ansi = platform::WideToAnsi(platform::Utf16BytesToWide(b.data(), b.size()));
      return platform::GlobalFromBytes(ansi.c_str(), ansi.size() + 1);
    }
    case CF_UNICODETEXT: {
      std::vector<BYTE> b = BlockBytes(src.data);
      std::size_t n = std::find(b.begin(), b.end(), BYTE(0)) - b.begin();
      std::u16string u =
          platform::WideToUtf16(platform::AnsiToWide(std::string(reinterpret_cast<const char*>(b.data()), n)));
      std::vector<BYTE> out;
      for (char16_t c : u) {
        out.push_back(BYTE(c));
        out.push_back(BYTE(c >> 8));
      }
      out.push_back(0);
      out.push_back(0);
      return platform::GlobalFromBytes(out.data(), out.size());
    }
    case CF_DIB: {
      std::vector<BYTE> dib = platform::PackedDibFromBitmap(static_cast<HBITMAP>(src.data));
      return dib.empty() ? nullptr : platform::GlobalFromBytes(dib.data(), dib.size());
    }
    case CF_BITMAP: {
      HBITMAP bm = platform::BitmapFromPackedDib(GlobalLock(src.data), GlobalSize(src.data));
      GlobalUnlock(src.data);
      return bm;
    }
    case CF_ENHMETAFILE: {
      if (GlobalSize(src.data) < sizeof(METAFILEPICT)) return nullptr;
      METAFILEPICT pict;
      std::memcpy(&pict, GlobalLock(src.data), sizeof pict);
      GlobalUnlock(src.data);
      UINT n = GetMetaFileBitsEx(pict.hMF, 0, nullptr);
      if (!n) return nullptr;
      std::vector<BYTE> bits(n);
      GetMetaFileBitsEx(pict.hMF, n, bits.data());
      return SetWinMetaFileBits(n, bits.data(), nullptr, &pict);
    }
    case CF_METAFILEPICT: {
      auto emf = static_cast<HENHMETAFILE>(src.data);
      UINT n = GetWinMetaFileBits(emf, 0, nullptr, MM_ANISOTROPIC, nullptr);
      if (!n) return nullptr;
      std::vector<BYTE> bits(n);
      GetWinMetaFileBits(emf, n, bits.data(), MM_ANISOTROPIC, nullptr);
      ENHMETAHEADER h{};
      GetEnhMetaFileHeader(emf, sizeof h, &h);
      METAFILEPICT pict{MM_ANISOTROPIC, Extent(h.rclFrame.left, h.rclFrame.right),
                        Extent(h.rclFrame.top, h.rclFrame.bottom), SetMetaFileBitsEx(n, bits.data())};
      if (!pict.hMF) return nullptr;
      HGLOBAL out = platform::GlobalFromBytes(&pict, sizeof pict);
      if (!out) DeleteMetaFile(pict.hMF);
      return out;
    }
    default:
      return nullptr;
  }
}

// Formats offered in place of one that was set, in the order they are listed.
std::vector<UINT> Partners(UINT format) {
  switch (format) {
    case CF_UNICODETEXT:
      return {CF_LOCALE, CF_TEXT};
    case CF_TEXT:
      return {CF_LOCALE, CF_UNICODETEXT};
    case CF_BITMAP:
      return {CF_DIB};
    case CF_DIB:
      return {CF_BITMAP};
    case CF_ENHMETAFILE:
      return {CF_METAFILEPICT};
    case CF_METAFILEPICT:
      return {CF_ENHMETAFILE};
    default:
      return {};
  }
}

// Replaces the synthesised entries after a change and rebuilds the OLE list.
void Resynthesize(State& s) {
  std::vector<Entry> kept, dropped;
  for (Entry& e : s.entries) (e.from ? dropped : kept).push_back(e);
  FreeEntries(dropped);
  s.entries = kept;
  std::vector<Entry> added;
  for (const Entry& e : kept) {
    for (UINT p : Partners(e.format)) {
      bool have = FindEntry(s, p) != nullptr ||
                  std::any_of(added.begin(), added.end(), [p](const Entry& a) { return a.format == p; });
      if (have) continue;
      Entry n;
      n.format = p;
      n.tymed = NaturalTymed(p);
      n.from = e.format;
      added.push_back(n);
    }
  }
  s.offered.clear();
  if (s.ole) {
    s.offered = s.oleFormats;
  } else {
    for (const Entry& e : kept) s.offered.push_back(MakeFormatEtc(static_cast<CLIPFORMAT>(e.format), e.tymed));
  }
  for (const Entry& e : added) s.offered.push_back(MakeFormatEtc(static_cast<CLIPFORMAT>(e.format), e.tymed));
  s.entries.insert(s.entries.end(), added.begin(), added.end());
}

// Renders one entry from the OLE object, outside the lock (the object's code
// may do anything). False when the object cannot render it.
bool RenderFromOle(Lock& lock, UINT format) {
  State& s = S();
  IDataObject* obj = s.ole;
  if (!obj) return false;
  std::vector<DWORD> media;
  for (const FORMATETC& fe : s.oleFormats)
    if (fe.cfFormat == format) media.push_back(fe.tymed);
  DWORD seq = s.sequence;
  obj->AddRef();
  lock.unlock();
  HANDLE data = nullptr;
  DWORD tymed = 0;
  for (DWORD want : media) {
    for (DWORD bit : {TYMED_HGLOBAL, TYMED_ISTORAGE, TYMED_ISTREAM, TYMED_GDI, TYMED_ENHMF, TYMED_MFPICT}) {
      if (!(want & bit) || data) continue;
      FORMATETC fe = MakeFormatEtc(static_cast<CLIPFORMAT>(format), bit);
      STGMEDIUM m{};
      if (obj->GetData(&fe, &m) == S_OK) TakeMedium(m, &data, &tymed);
    }
    if (data) break;
  }
  obj->Release();
  lock.lock();
  Entry* e = FindEntry(s, format);
  if (!e || s.sequence != seq || e->data || !e->fromOle) {
    FreeData(data, tymed);  // the clipboard changed meanwhile
    return e && e->data;
  }
  if (!data) {
    e->failed = true;
    return false;
  }
  e->data = data;
  e->tymed = tymed;
  return true;
}

// Makes a SetClipboardDataLater entry, outside the lock (a conversion may
// take a while). False when it gives nothing.
bool RenderLater(Lock& lock, UINT format) {
  State& s = S();
  Entry* e = FindEntry(s, format);
  std::shared_ptr<std::function<HANDLE()>> render = e->render;
  DWORD seq = s.sequence;
  lock.unlock();
  HANDLE data = (*render)();
  lock.lock();
  e = FindEntry(s, format);
  if (!e || s.sequence != seq || e->data || e->render != render) {
    FreeData(data, NaturalTymed(format));  // the clipboard changed meanwhile
    return e && e->data;
  }
  e->render.reset();
  if (!data) {
    e->failed = true;
    return false;
  }
  e->data = data;
  return true;
}

// The entry's data, made now when it is rendered or synthesised on request.
Entry* Ready(Lock& lock, UINT format, int depth = 0) {
  State& s = S();
  Entry* e = FindEntry(s, format);
  if (!e || e->failed || depth > 2) return nullptr;
  if (e->data) return e;
  if (e->render) return RenderLater(lock, format) ? FindEntry(s, format) : nullptr;
  if (e->fromOle) return RenderFromOle(lock, format) ? FindEntry(s, format) : nullptr;
  if (!e->from) return nullptr;
  UINT from = e->from;
  Entry* src = Ready(lock, from, depth + 1);
  e = FindEntry(s, format);
  if (!src || !e) return nullptr;
  if (!e->data) {
    e->data = Synthesize(format, *src);
    if (!e->data) e->failed = true;
  }
  return e->data ? e : nullptr;
}

void EnsureOleWindow(State& s) {
  if (!s.oleWindow || !IsWindow(s.oleWindow))
    s.oleWindow = platform::CreateToolkitWindow(L"OleClipboardWindow", L"OleClipboard");
}

// ---- The OLE view of the clipboard ------------------------------------------------
HRESULT MediumFor(const Entry& e, DWORD want, STGMEDIUM* m) {
  m->pUnkForRelease = nullptr;
  if (e.tymed == TYMED_ISTORAGE) {
    if (!(want & TYMED_ISTORAGE)) return DV_E_TYMED;
    IStorage* stg = nullptr;
    HRESULT hr = platform::StorageFromBytes(GlobalLock(e.data), GlobalSize(e.data), &stg);
    GlobalUnlock(e.data);
    if (FAILED(hr)) return hr;
    m->tymed = TYMED_ISTORAGE;
    m->pstg = stg;
    return S_OK;
  }
  if (e.tymed == TYMED_HGLOBAL && !(want & TYMED_HGLOBAL) && (want & TYMED_ISTREAM)) {
    HGLOBAL copy = platform::GlobalDuplicate(e.data);
    IStream* stm = nullptr;
    if (!copy) return E_OUTOFMEMORY;
    HRESULT hr = CreateStreamOnHGlobal(copy, TRUE, &stm);
    if (FAILED(hr)) {
      GlobalFree(copy);
      return hr;
    }
    m->tymed = TYMED_ISTREAM;
    m->pstm = stm;
    return S_OK;
  }
  if (!(want & e.tymed)) return DV_E_TYMED;
  HANDLE copy = CopyData(e.data, e.tymed);
  if (!copy) return E_OUTOFMEMORY;
  m->tymed = e.tymed;
  m->hGlobal = copy;
  return S_OK;
}

class ClipboardData final : public platform::detail::ReadOnlyData {
 public:
  explicit ClipboardData(std::vector<FORMATETC> formats) : formats_(std::move(formats)) {}

  HRESULT GetData(FORMATETC* fe, STGMEDIUM* m) override {
    Lock lock(S().mu);
    HRESULT hr;
    Entry* e = Find(lock, fe, m, &hr);
    return e ? MediumFor(*e, fe->tymed, m) : hr;
  }
  HRESULT GetDataHere(FORMATETC* fe, STGMEDIUM* m) override {
    Lock lock(S().mu);
    HRESULT hr;
    Entry* e = Find(lock, fe, m, &hr);
    if (!e) return hr;
    if (e->tymed == TYMED_ISTORAGE && m->tymed == TYMED_ISTORAGE && m->pstg) {
      IStorage* stg = nullptr;
      HRESULT hr = platform::StorageFromBytes(GlobalLock(e->data), GlobalSize(e->data), &stg);
      GlobalUnlock(e->data);
      if (FAILED(hr)) return hr;
      IStorage* dest = m->pstg;
      lock.unlock();
      hr = stg->CopyTo(0, nullptr, nullptr, dest);
      stg->Release();
      return hr;
    }
    if (e->tymed == TYMED_HGLOBAL && m->tymed == TYMED_HGLOBAL && m->hGlobal) {
      SIZE_T n = GlobalSize(e->data);
      if (GlobalSize(m->hGlobal) < n) return STG_E_MEDIUMFULL;
      std::memcpy(GlobalLock(m->hGlobal), GlobalLock(e->data), n);
      GlobalUnlock(e->data);
      GlobalUnlock(m->hGlobal);
      return S_OK;
    }
    return DV_E_TYMED;
  }
  HRESULT QueryGetData(FORMATETC* fe) override {
    if (!fe) return E_INVALIDARG;
    State& s = S();
    Lock lock(s.mu);
    Entry* e = FindEntry(s, fe->cfFormat);
    if (!e || e->failed) return DV_E_FORMATETC;
    if (fe->tymed == TYMED_NULL) return S_OK;  // asks only whether the format is there
    bool any = false;
    for (const FORMATETC& f : s.offered)
      if (f.cfFormat == fe->cfFormat && (f.tymed & fe->tymed)) any = true;
    if (e->tymed == TYMED_HGLOBAL && (fe->tymed & TYMED_ISTREAM)) any = true;
    return any ? S_OK : DV_E_TYMED;
  }

 protected:
  std::vector<FORMATETC> Formats() const override { return formats_; }

 private:
  // The ready entry for a request, or null with the result to report.
  static Entry* Find(Lock& lock, FORMATETC* fe, STGMEDIUM* m, HRESULT* hr) {
    *hr = E_INVALIDARG;
    if (!fe || !m) return nullptr;
    *hr = CLIPBRD_E_CANT_OPEN;
    if (OpenElsewhere(S())) return nullptr;
    *hr = DV_E_FORMATETC;
    return Ready(lock, fe->cfFormat);
  }

  std::vector<FORMATETC> formats_;
};

// Empties the contents; the OLE object, if any, is handed back for release
// outside the lock. The previous owner is returned for WM_DESTROYCLIPBOARD.
IDataObject* EmptyLocked(State& s, HWND newOwner, HWND* previousOwner) {
  FreeEntries(s.entries);
  s.offered.clear();
  IDataObject* old = s.ole;
  s.ole = nullptr;
  s.oleFormats.clear();
  *previousOwner = s.owner;
  s.owner = newOwner;
  s.changed = true;
  return old;
}
}  // namespace

BOOL OpenClipboard(HWND newOwner) {
  State& s = S();
  Lock lock(s.mu);
  if (OpenElsewhere(s)) return FALSE;
  s.open = true;
  s.openWindow = newOwner;
  s.openThread = GetCurrentThreadId();
  return TRUE;
}

BOOL CloseClipboard() {
  State& s = S();
  HWND viewer = nullptr;
  {
    Lock lock(s.mu);
    if (!OpenHere(s)) return FALSE;
    s.open = false;
    s.openWindow = nullptr;
    if (!s.changed) return TRUE;
    s.changed = false;
    Resynthesize(s);
    ++s.sequence;
    viewer = s.viewer;
  }
  if (viewer && IsWindow(viewer)) SendMessageW(viewer, WM_DRAWCLIPBOARD, 0, 0);
  return TRUE;
}

BOOL EmptyClipboard() {
  State& s = S();
  IDataObject* old;
  HWND previous = nullptr, now, ours;
  {
    Lock lock(s.mu);
    if (!OpenHere(s)) return FALSE;
    now = s.openWindow;
    ours = s.oleWindow;
    old = EmptyLocked(s, now, &previous);
  }
  if (old) old->Release();
  // Our own OLE window needs no notice: the object was released above.
  if (previous && previous != now && previous != ours && IsWindow(previous))
    SendMessageW(previous, WM_DESTROYCLIPBOARD, 0, 0);
  return TRUE;
}

namespace platform::detail {
HANDLE SetClipboardDataAs(UINT format, HANDLE data, DWORD tymed) {
  State& s = S();
  Lock lock(s.mu);
  if (!OpenHere(s) || format == 0) return nullptr;
  Entry* e = FindEntry(s, format);
  if (e && e->from) {
    FreeData(e->data, e->tymed);
    s.entries.erase(s.entries.begin() + (e - s.entries.data()));
    e = nullptr;
  }
  if (e) {
    if (e->data != data) FreeData(e->data, e->tymed);
  } else {
    s.entries.push_back(Entry{});
    e = &s.entries.back();
  }
  e->format = format;
  e->data = data;
  e->tymed = tymed;
  e->fromOle = data == nullptr && s.ole != nullptr;
  e->failed = false;
  e->render.reset();
  s.changed = true;
  return data;
}

bool SetClipboardDataLater(UINT format, std::function<HANDLE()> render) {
  State& s = S();
  Lock lock(s.mu);
  if (!OpenHere(s) || format == 0 || !render) return false;
  Entry* e = FindEntry(s, format);
  if (e) {
    FreeData(e->data, e->tymed);
    *e = Entry{};
  } else {
    s.entries.push_back(Entry{});
    e = &s.entries.back();
  }
  e->format = format;
  e->tymed = NaturalTymed(format);
  e->render = std::make_shared<std::function<HANDLE()>>(std::move(render));
  s.changed = true;
  return true;
}
}  // namespace platform::detail

HANDLE SetClipboardData(UINT format, HANDLE data) {
  return platform::detail::SetClipboardDataAs(format, data, NaturalTymed(format));
}

HANDLE GetClipboardData(UINT format) {
  State& s = S();
  Lock lock(s.mu);
  if (!OpenHere(s)) return nullptr;
  Entry* e = Ready(lock, format);
  return e ? e->data : nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  State& s = S();
  Lock lock(s.mu);
  Entry* e = FindEntry(s, format);
  return e && !e->failed ? TRUE : FALSE;
}

UINT EnumClipboardFormats(UINT format) {
  State& s = S();
  Lock lock(s.mu);
  bool next = format == 0;
  for (const Entry& e : s.entries) {
    if (next) return e.format;
    if (e.format == format) next = true;
  }
  return 0;
}

int CountClipboardFormats() {
  State& s = S();
  Lock lock(s.mu);
  return static_cast<int>(s.entries.size());
}

HWND GetClipboardOwner() {
  State& s = S();
  HWND owner;
  {
    Lock lock(s.mu);
    owner = s.owner;
  }
  return owner && IsWindow(owner) ? owner : nullptr;
}

HWND GetOpenClipboardWindow() {
  State& s = S();
  Lock lock(s.mu);
  OpenElsewhere(s);
  return s.open ? s.openWindow : nullptr;
}

DWORD GetClipboardSequenceNumber() {
  State& s = S();
  Lock lock(s.mu);
  return s.sequence;
}

HWND SetClipboardViewer(HWND hwnd) {
  if (!IsWindow(hwnd)) return nullptr;
  State& s = S();
  HWND previous;
  {
    Lock lock(s.mu);
    previous = s.viewer;
    s.viewer = hwnd;
  }
  SendMessageW(hwnd, WM_DRAWCLIPBOARD, 0, 0);
  return previous;
}

BOOL ChangeClipboardChain(HWND remove, HWND next) {
  State& s = S();
  HWND first;
  {
    Lock lock(s.mu);
    if (!remove) return FALSE;
    if (s.viewer == remove) {
      s.viewer = next;
      return TRUE;
    }
    first = s.viewer;
  }
  if (first && IsWindow(first)) SendMessageW(first, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(remove),
                                             reinterpret_cast<LPARAM>(next));
  return TRUE;
}

HWND GetClipboardViewer() {
  State& s = S();
  Lock lock(s.mu);
  return s.viewer;
}

HRESULT OleSetClipboard(IDataObject* dataObject) {
  State& s = S();
  HWND window;
  {
    Lock lock(s.mu);
    EnsureOleWindow(s);
    window = s.oleWindow;
  }
  if (!OpenClipboard(window)) return CLIPBRD_E_CANT_OPEN;
  if (!EmptyClipboard()) {
    CloseClipboard();
    return CLIPBRD_E_CANT_EMPTY;
  }
  HRESULT result = S_OK;
  if (dataObject) {
    std::vector<FORMATETC> formats;
    IEnumFORMATETC* e = nullptr;
    result = dataObject->EnumFormatEtc(DATADIR_GET, &e);
    if (SUCCEEDED(result) && e) {
      FORMATETC fe;
      ULONG got = 0;
      while (formats.size() < kMaxOffered && e->Next(1, &fe, &got) == S_OK && got == 1) {
        formats.push_back(MakeFormatEtc(fe.cfFormat, fe.tymed));
        if (fe.ptd) CoTaskMemFree(fe.ptd);  // the caller's to free; only the pair is kept
        got = 0;
      }
      e->Release();
      result = S_OK;
    } else if (SUCCEEDED(result)) {
      result = E_FAIL;
    }
    if (SUCCEEDED(result)) {
      dataObject->AddRef();
      Lock lock(s.mu);
      s.ole = dataObject;
      s.oleFormats = formats;
    }
    for (const FORMATETC& fe : formats) {
      bool seen = false;
      {
        Lock lock(s.mu);
        seen = FindEntry(s, fe.cfFormat) != nullptr;
      }
      if (!seen && fe.cfFormat)
        platform::detail::SetClipboardDataAs(fe.cfFormat, nullptr,
                                             fe.tymed & TYMED_ISTORAGE ? DWORD(TYMED_ISTORAGE) : NaturalTymed(fe.cfFormat));
    }
  }
  if (!CloseClipboard()) return CLIPBRD_E_CANT_CLOSE;
  return result;
}

HRESULT OleGetClipboard(IDataObject** dataObject) {
  if (!dataObject) return E_INVALIDARG;
  *dataObject = nullptr;
  State& s = S();
  std::vector<FORMATETC> formats;
  {
    Lock lock(s.mu);
    if (OpenElsewhere(s)) return CLIPBRD_E_CANT_OPEN;
    formats = s.offered;
  }
  *dataObject = new (std::nothrow) ClipboardData(std::move(formats));
  return *dataObject ? S_OK : E_OUTOFMEMORY;
}

HRESULT OleFlushClipboard() {
  State& s = S();
  Lock lock(s.mu);
  IDataObject* flushing = s.ole;
  if (!flushing) return S_OK;
  if (OpenElsewhere(s)) return CLIPBRD_E_CANT_OPEN;
  std::vector<UINT> pending;
  for (const Entry& e : s.entries)
    if (e.fromOle && !e.data) pending.push_back(e.format);
  for (UINT f : pending) Ready(lock, f);
  // Rendering lets the lock go: a writer meanwhile has replaced the contents
  // and released the object already.
  if (s.ole != flushing) return S_OK;
  // Formats the object could not render are no longer offered.
  std::vector<Entry> kept;
  for (const Entry& e : s.entries) {
    bool gone = e.fromOle && !e.data;
    if (gone) {
      s.offered.erase(std::remove_if(s.offered.begin(), s.offered.end(),
                                     [&](const FORMATETC& f) { return f.cfFormat == e.format; }),
                      s.offered.end());
    } else {
      kept.push_back(e);
      kept.back().fromOle = false;
    }
  }
  s.entries = kept;
  s.ole = nullptr;
  lock.unlock();
  flushing->Release();
  return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* dataObject) {
  State& s = S();
  Lock lock(s.mu);
  return dataObject && dataObject == s.ole ? S_OK : S_FALSE;
}

namespace platform::detail {
void ResetClipboard() {
  State& s = S();
  IDataObject* old;
  {
    Lock lock(s.mu);
    HWND previous;
    old = EmptyLocked(s, nullptr, &previous);
    s.changed = false;
    s.open = false;
    s.holding = false;
    s.openWindow = nullptr;
    s.openThread = 0;
    s.viewer = nullptr;
    s.oleWindow = nullptr;
    s.sequence = 1;
  }
  if (old) old->Release();
}

void HoldClipboardOpenUntil(std::uint64_t untilMs) {
  State& s = S();
  Lock lock(s.mu);
  if (!OpenHere(s)) return;
  s.holding = true;
  s.holdUntil = untilMs;
}

void ReleaseClipboardHold() {
  State& s = S();
  Lock lock(s.mu);
  if (s.holding) {
    s.holding = false;
    s.open = false;
    s.openWindow = nullptr;
  }
}
}  // namespace platform::detail
