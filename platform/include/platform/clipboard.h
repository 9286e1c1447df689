#pragma once
// The clipboard: its contents and owner, the viewer chain, and the OLE
// clipboard on top.
//
// Contents. An application opens the clipboard (for a window of its own),
// empties it (becoming its owner), sets data by format and closes it. The
// clipboard owns what was set: GetClipboardData hands out the clipboard's own
// handle, which the caller must not free. Handles by format: CF_BITMAP an
// HBITMAP, CF_ENHMETAFILE an HENHMETAFILE, CF_METAFILEPICT a global block with
// a METAFILEPICT, every other format a global block.
//
// Synthesised formats. When the clipboard closes after a change it also
// offers, for formats that were not set: CF_LOCALE and CF_TEXT for
// CF_UNICODETEXT (and CF_LOCALE and CF_UNICODETEXT for CF_TEXT), CF_DIB for
// CF_BITMAP and the reverse, CF_ENHMETAFILE for CF_METAFILEPICT and the
// reverse. They are listed after the formats set and made on the first
// request; a source that cannot be converted (a damaged bitmap, say) gives
// null then.
//
// Viewers. The clipboard knows only the first window of the viewer chain;
// every viewer keeps its next one. After every change the first viewer gets
// WM_DRAWCLIPBOARD (sent, within the closing call) and passes it on; a viewer
// that does not pass it on ends the walk there, as on the system we stand in
// for.
#include "platform/clipformats.h"
#include "platform/com.h"
#include "platform/types.h"

// FALSE when another thread has the clipboard open.
BOOL OpenClipboard(HWND newOwner);
BOOL CloseClipboard();
// Frees the contents and makes the opening window the owner; sends
// WM_DESTROYCLIPBOARD to the previous owner. FALSE unless the calling thread
// has the clipboard open.
BOOL EmptyClipboard();
// Takes over `data` (null: rendered on request; only the OLE clipboard does
// that here). Returns `data`, or null when the calling thread does not have
// the clipboard open.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's own handle; null when the format is absent, cannot be made
// or the calling thread does not have the clipboard open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// The format after `format` (0 starts); 0 at the end.
UINT EnumClipboardFormats(UINT format);
int CountClipboardFormats();
// Null when nobody owns the clipboard or the owner window is gone.
HWND GetClipboardOwner();
HWND GetOpenClipboardWindow();
// Counts changes to the contents.
DWORD GetClipboardSequenceNumber();

// Makes hwnd the first viewer, sends it WM_DRAWCLIPBOARD at once, and returns
// the previous first viewer (null when there was none).
HWND SetClipboardViewer(HWND hwnd);
// When `remove` is the first viewer, `next` becomes first; otherwise the first
// viewer gets WM_CHANGECBCHAIN(remove, next) to pass along the chain.
BOOL ChangeClipboardChain(HWND remove, HWND next);
HWND GetClipboardViewer();

// ---- The OLE clipboard --------------------------------------------------------
// Puts `dataObject` on the clipboard (one reference is held; null empties the
// clipboard). Every (format, medium) pair it enumerates is offered and
// rendered from it on request; the viewer chain is walked before the call
// returns. CLIPBRD_E_CANT_OPEN when another application has the clipboard
// open.
HRESULT OleSetClipboard(IDataObject* dataObject);
// A data object over the current clipboard. Its enumerator lists the pairs
// the producer offered, in its order (duplicates kept), then the synthesised
// formats; every GetData renders a new copy that the caller owns (global
// blocks keep the producer's reported size). CLIPBRD_E_CANT_OPEN when another
// application holds the clipboard open.
HRESULT OleGetClipboard(IDataObject** dataObject);
// Renders every pair of the object set by OleSetClipboard, releases the
// object, and leaves the data on the clipboard. S_OK also when there was
// nothing to flush.
HRESULT OleFlushClipboard();
// S_OK when `dataObject` is the one OleSetClipboard put there and it has not
// been replaced or flushed; S_FALSE otherwise.
HRESULT OleIsCurrentClipboard(IDataObject* dataObject);
