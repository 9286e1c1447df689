#include "platform/com.h"

#include <atomic>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/storage.h"

namespace {
constexpr GUID Ole(std::uint32_t d1) { return GUID{d1, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; }
std::atomic<int> g_oleInits{0};
}  // namespace

const IID IID_NULL = GUID{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const CLSID CLSID_NULL = IID_NULL;
const IID IID_IUnknown = Ole(0x00000000);
const IID IID_ILockBytes = Ole(0x0000000A);
const IID IID_IStorage = Ole(0x0000000B);
const IID IID_IStream = Ole(0x0000000C);
const IID IID_ISequentialStream = GUID{0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID IID_IEnumFORMATETC = Ole(0x00000103);
const IID IID_IDataObject = Ole(0x0000010E);
const IID IID_IOleObject = Ole(0x00000112);
const IID IID_IDropSource = Ole(0x00000121);
const IID IID_IDropTarget = Ole(0x00000122);

void ReleaseStgMedium(STGMEDIUM* m) {
  if (!m) return;
  IUnknown* owner = m->pUnkForRelease;
  switch (m->tymed) {
    case TYMED_HGLOBAL:
      if (!owner && m->hGlobal) GlobalFree(m->hGlobal);
      break;
    case TYMED_GDI:
      if (!owner && m->hBitmap) DeleteObject(m->hBitmap);
      break;
    case TYMED_ENHMF:
      if (!owner && m->hEnhMetaFile) DeleteEnhMetaFile(m->hEnhMetaFile);
      break;
    case TYMED_MFPICT:
      if (!owner && m->hMetaFilePict) {
        if (GlobalSize(m->hMetaFilePict) >= sizeof(METAFILEPICT)) {
          METAFILEPICT pict;
          std::memcpy(&pict, GlobalLock(m->hMetaFilePict), sizeof(pict));
          GlobalUnlock(m->hMetaFilePict);
          if (pict.hMF) DeleteMetaFile(pict.hMF);
        }
        GlobalFree(m->hMetaFilePict);
      }
      break;
    case TYMED_FILE:
      if (!owner && m->lpszFileName) CoTaskMemFree(m->lpszFileName);
      break;
    // Interfaces are released whoever owns the data.
    case TYMED_ISTREAM:
      if (m->pstm) m->pstm->Release();
      break;
    case TYMED_ISTORAGE:
      if (m->pstg) m->pstg->Release();
      break;
    default:
      break;
  }
  if (owner) owner->Release();
  m->tymed = TYMED_NULL;
  m->hGlobal = nullptr;
  m->pUnkForRelease = nullptr;
}

namespace platform {

std::string DescribeResult(HRESULT hr) {
  static const struct {
    HRESULT code;
    const char* text;
  } kKnown[] = {
      {S_OK, "success"},
      {S_FALSE, "success, answer no"},
      {E_NOTIMPL, "not implemented"},
      {E_NOINTERFACE, "interface not offered"},
      {E_POINTER, "invalid pointer"},
      {E_ABORT, "operation aborted"},
      {E_FAIL, "unspecified failure"},
      {E_UNEXPECTED, "unexpected failure"},
      {E_ACCESSDENIED, "access denied"},
      {E_HANDLE, "invalid handle"},
      {E_OUTOFMEMORY, "out of memory"},
      {E_INVALIDARG, "invalid argument"},
      {OLE_E_ADVISENOTSUPPORTED, "notifications not supported"},
      {OLE_E_NOCONNECTION, "no such notification connection"},
      {OLE_E_NOTRUNNING, "object not running"},
      {OLE_E_STATIC, "static object"},
      {OLE_E_BLANK, "object without data"},
      {DV_E_FORMATETC, "format not offered"},
      {DV_E_LINDEX, "invalid index of the data"},
      {DV_E_TYMED, "storage medium not offered"},
      {DV_E_CLIPFORMAT, "invalid clipboard format"},
      {DV_E_DVASPECT, "aspect not offered"},
      {DATA_S_SAMEFORMATETC, "success, same format"},
      {CLIPBRD_E_CANT_OPEN, "the clipboard cannot be opened"},
      {CLIPBRD_E_CANT_EMPTY, "the clipboard cannot be emptied"},
      {CLIPBRD_E_CANT_SET, "the clipboard cannot be set"},
      {CLIPBRD_E_BAD_DATA, "invalid data on the clipboard"},
      {CLIPBRD_E_CANT_CLOSE, "the clipboard cannot be closed"},
      {STG_E_INVALIDFUNCTION, "invalid storage function"},
      {STG_E_FILENOTFOUND, "storage element not found"},
      {STG_E_ACCESSDENIED, "storage access denied"},
      {STG_E_INSUFFICIENTMEMORY, "not enough memory for the storage"},
      {STG_E_INVALIDPOINTER, "invalid storage pointer"},
      {STG_E_READFAULT, "storage read fault"},
      {STG_E_FILEALREADYEXISTS, "storage element already exists"},
      {STG_E_INVALIDPARAMETER, "invalid storage parameter"},
      {STG_E_MEDIUMFULL, "storage medium full"},
      {STG_E_INVALIDHEADER, "invalid storage header"},
      {STG_E_INVALIDNAME, "invalid storage element name"},
      {STG_E_INVALIDFLAG, "invalid storage flag"},
      {STG_E_REVERTED, "storage reverted"},
      {STG_E_DOCFILECORRUPT, "damaged storage"},
  };
  char number[16];
  std::snprintf(number, sizeof number, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  std::string out = number;
  for (const auto& k : kKnown) {
    if (k.code == hr) return out + " (" + k.text + ")";
  }
  return out;
}

}  // namespace platform

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

HRESULT OleInitialize(LPVOID) { return g_oleInits.fetch_add(1) == 0 ? S_OK : S_FALSE; }
void OleUninitialize() {
  int v = g_oleInits.load();
  while (v > 0 && !g_oleInits.compare_exchange_weak(v, v - 1)) {
  }
}
