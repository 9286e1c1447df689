#pragma once
// The clipboard on the simulated desktop: other applications put data there,
// own it, hold it open, close, and watch it from the viewer chain. Call from
// the GUI thread, after platform::sim::Reset (which also empties the
// clipboard and forgets the viewer chain).
//
// The ready-made edit controls paste the clipboard's CF_UNICODETEXT (or what
// the clipboard makes of CF_TEXT) on WM_PASTE and a typed Ctrl+V.
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/gdi.h"
#include "platform/types.h"

namespace platform::sim {

// One format as an application puts it on the clipboard. Nothing is checked:
// the bytes may be anything, including data that lies about its own sizes.
struct ClipData {
  UINT format = 0;
  // TYMED_HGLOBAL: `bytes` in a global block. TYMED_ISTORAGE: `bytes` are a
  // storage's bytes (see platform::StorageToBytes), offered as a storage.
  // TYMED_GDI (CF_BITMAP): `bitmap`, which the clipboard takes over.
  // TYMED_ENHMF (CF_ENHMETAFILE) and TYMED_MFPICT (CF_METAFILEPICT, with
  // `extent` in 0.01 mm): `bytes` are the metafile's bytes; when the layer
  // refuses them the format is still listed but gives no data.
  DWORD tymed = TYMED_HGLOBAL;
  std::vector<BYTE> bytes;
  HBITMAP bitmap = nullptr;
  SIZE extent{0, 0};
  // Global blocks: allocate this many bytes (when larger than `bytes`) so
  // that the block is bigger than the data in it.
  SIZE_T blockSize = 0;
  // Listed, but no data is behind it: every request for it fails.
  bool noData = false;
};

// Common payloads.
ClipData UnicodeText(const std::wstring& text);  // UTF-16 with a terminating zero unit
ClipData AnsiText(const std::string& bytes);     // the bytes and a terminating NUL
ClipData Bytes(UINT format, const std::vector<BYTE>& bytes);
ClipData Bytes(UINT format, const std::string& bytes);
ClipData Named(const wchar_t* registeredFormat, const std::string& bytes);
ClipData Dib(const std::vector<BYTE>& packedDib);
ClipData Bitmap(HBITMAP bitmap);
ClipData EnhMetaFile(const std::vector<BYTE>& bytes);
ClipData Storage(const std::vector<BYTE>& storageBytes, const wchar_t* format = L"Embedded Object");

// The application of `owner` (a window of a simulated process) opens the
// clipboard for it, empties it (becoming the owner), puts `data` in order
// and closes it; the viewer chain is walked before this returns. False when
// the clipboard is open elsewhere.
bool PutClipboard(HWND owner, const std::vector<ClipData>& data);
// An owner that is busy for a while is platform::sim::SetBusy on its process;
// one that closes is EndProcess or RemoveWindow (the data stays, the owner
// becomes null).
//
// The application of `window` opens the clipboard and keeps it open for `ms`
// of virtual time (INFINITE: until ReleaseClipboard) — a program that hangs
// while it has the clipboard open. False when it is open elsewhere.
bool HoldClipboard(HWND window, DWORD ms);
void ReleaseClipboard();

// A viewer window of another application (in `thread`) that joins the chain
// at once and, while `forwards` is true, passes WM_DRAWCLIPBOARD and
// WM_CHANGECBCHAIN on as a well-behaved viewer does. Its messages are
// recorded like every simulated window's.
HWND AddClipboardViewer(DWORD thread, bool forwards = true);
void SetViewerForwards(HWND viewer, bool forwards);
// The viewer leaves the chain properly (ChangeClipboardChain with its next).
void RemoveClipboardViewer(HWND viewer);
// The viewer's next window as it keeps it.
HWND ViewerNext(HWND viewer);

// What a paste would read: the clipboard's text, if any.
bool ClipboardText(std::wstring* text);
// The formats on the clipboard now, in enumeration order.
std::vector<UINT> ClipboardFormats();
// A copy of one format's global block (empty when absent or not a block).
std::vector<BYTE> ClipboardBytes(UINT format);

}  // namespace platform::sim
