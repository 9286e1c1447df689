#pragma once
// The component-object basics the clipboard, data transfer and storage code is
// written against: result codes, interface identities, IUnknown, the data
// object and format enumerator interfaces, and the storage medium.
//
// Interfaces are plain abstract classes. Their destructors are protected:
// objects go away through Release, never through delete on an interface.
#include <cstring>
#include <string>

#include "platform/types.h"

// ---- Result codes ----------------------------------------------------------
inline constexpr HRESULT MakeHresult(std::uint32_t v) { return static_cast<HRESULT>(v); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_HANDLE = MakeHresult(0x80070006u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);

inline constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = MakeHresult(0x80040003u);
inline constexpr HRESULT OLE_E_NOCONNECTION = MakeHresult(0x80040004u);
inline constexpr HRESULT OLE_E_NOTRUNNING = MakeHresult(0x80040005u);
inline constexpr HRESULT OLE_E_STATIC = MakeHresult(0x8004000Bu);
inline constexpr HRESULT OLE_E_BLANK = MakeHresult(0x80040007u);
inline constexpr HRESULT DV_E_FORMATETC = MakeHresult(0x80040064u);
inline constexpr HRESULT DV_E_LINDEX = MakeHresult(0x80040068u);
inline constexpr HRESULT DV_E_TYMED = MakeHresult(0x80040069u);
inline constexpr HRESULT DV_E_CLIPFORMAT = MakeHresult(0x8004006Au);
inline constexpr HRESULT DV_E_DVASPECT = MakeHresult(0x8004006Bu);
inline constexpr HRESULT DATA_S_SAMEFORMATETC = MakeHresult(0x00040130u);

inline constexpr HRESULT CLIPBRD_E_CANT_OPEN = MakeHresult(0x800401D0u);
inline constexpr HRESULT CLIPBRD_E_CANT_EMPTY = MakeHresult(0x800401D1u);
inline constexpr HRESULT CLIPBRD_E_CANT_SET = MakeHresult(0x800401D2u);
inline constexpr HRESULT CLIPBRD_E_BAD_DATA = MakeHresult(0x800401D3u);
inline constexpr HRESULT CLIPBRD_E_CANT_CLOSE = MakeHresult(0x800401D4u);

inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHresult(0x80030001u);
inline constexpr HRESULT STG_E_FILENOTFOUND = MakeHresult(0x80030002u);
inline constexpr HRESULT STG_E_ACCESSDENIED = MakeHresult(0x80030005u);
inline constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHresult(0x80030008u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = MakeHresult(0x80030009u);
inline constexpr HRESULT STG_E_READFAULT = MakeHresult(0x8003001Eu);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = MakeHresult(0x80030050u);
inline constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHresult(0x80030057u);
inline constexpr HRESULT STG_E_MEDIUMFULL = MakeHresult(0x80030070u);
inline constexpr HRESULT STG_E_INVALIDHEADER = MakeHresult(0x800300FBu);
inline constexpr HRESULT STG_E_INVALIDNAME = MakeHresult(0x800300FCu);
inline constexpr HRESULT STG_E_INVALIDFLAG = MakeHresult(0x800300FFu);
inline constexpr HRESULT STG_E_REVERTED = MakeHresult(0x80030102u);
inline constexpr HRESULT STG_E_DOCFILECORRUPT = MakeHresult(0x80030109u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

namespace platform {
// A result code for a log line: its eight hexadecimal digits and, for the
// codes above, what it means, as in "0x80004001 (not implemented)". The
// system's error text knows nothing of these codes.
std::string DescribeResult(HRESULT hr);
}  // namespace platform

// ---- Identities ------------------------------------------------------------
struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }
inline bool operator!=(const GUID& a, const GUID& b) { return !IsEqualGUID(a, b); }

// Defined once in the library, so every module compares the same objects.
extern const IID IID_IUnknown;
extern const IID IID_IDataObject;
extern const IID IID_IEnumFORMATETC;
extern const IID IID_ISequentialStream;
extern const IID IID_IStream;
extern const IID IID_IStorage;
extern const IID IID_ILockBytes;
extern const IID IID_IOleObject;
extern const IID IID_IDropSource;
extern const IID IID_IDropTarget;
extern const CLSID CLSID_NULL;
extern const IID IID_NULL;

// ---- IUnknown ----------------------------------------------------------------
class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

// ---- Formats and media -------------------------------------------------------
using CLIPFORMAT = WORD;
using LPOLESTR = wchar_t*;
using LPCOLESTR = const wchar_t*;
using OLECHAR = wchar_t;

// A target device description; the clipboard code never looks inside one.
struct DVTARGETDEVICE {
  DWORD tdSize;
  WORD tdDriverNameOffset;
  WORD tdDeviceNameOffset;
  WORD tdPortNameOffset;
  WORD tdExtDevmodeOffset;
  BYTE tdData[1];
};

struct FORMATETC {
  CLIPFORMAT cfFormat;
  DVTARGETDEVICE* ptd;
  DWORD dwAspect;
  LONG lindex;
  DWORD tymed;
};
using LPFORMATETC = FORMATETC*;

enum : DWORD {
  TYMED_NULL = 0,
  TYMED_HGLOBAL = 1,
  TYMED_FILE = 2,
  TYMED_ISTREAM = 4,
  TYMED_ISTORAGE = 8,
  TYMED_GDI = 16,
  TYMED_MFPICT = 32,
  TYMED_ENHMF = 64,
};

enum : DWORD {
  DVASPECT_CONTENT = 1,
  DVASPECT_THUMBNAIL = 2,
  DVASPECT_ICON = 4,
  DVASPECT_DOCPRINT = 8,
};

enum : DWORD {
  DATADIR_GET = 1,
  DATADIR_SET = 2,
};

class IStream;
class IStorage;
class IAdviseSink;     // advise interfaces are not offered by this layer
class IEnumSTATDATA;

using HMETAFILEPICT = HGLOBAL;

// The medium a rendering travels in. The member named by `tymed` is the live
// one; `pUnkForRelease`, when set, owns the data instead of the receiver.
struct STGMEDIUM {
  DWORD tymed;
  union {
    HBITMAP hBitmap;
    HMETAFILEPICT hMetaFilePict;
    HENHMETAFILE hEnhMetaFile;
    HGLOBAL hGlobal;
    LPOLESTR lpszFileName;
    IStream* pstm;
    IStorage* pstg;
  };
  IUnknown* pUnkForRelease;
};
using LPSTGMEDIUM = STGMEDIUM*;

// Frees what a medium carries: a stream or storage is always released; any
// other handle is freed only when pUnkForRelease is null. A set
// pUnkForRelease owns the data and is released too. The medium is cleared
// afterwards. Null is ignored.
void ReleaseStgMedium(STGMEDIUM* medium);

class IEnumFORMATETC : public IUnknown {
 public:
  virtual HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFORMATETC** ppenum) = 0;

 protected:
  ~IEnumFORMATETC() = default;
};

class IDataObject : public IUnknown {
 public:
  virtual HRESULT GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) = 0;
  virtual HRESULT GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) = 0;
  virtual HRESULT QueryGetData(FORMATETC* pformatetc) = 0;
  virtual HRESULT GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) = 0;
  virtual HRESULT SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) = 0;
  virtual HRESULT EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) = 0;
  virtual HRESULT DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink,
                          DWORD* pdwConnection) = 0;
  virtual HRESULT DUnadvise(DWORD dwConnection) = 0;
  virtual HRESULT EnumDAdvise(IEnumSTATDATA** ppenumAdvise) = 0;

 protected:
  ~IDataObject() = default;
};
using LPDATAOBJECT = IDataObject*;

// ---- Task memory and apartment set-up ------------------------------------------
LPVOID CoTaskMemAlloc(SIZE_T cb);
void CoTaskMemFree(LPVOID pv);
// The layer needs no apartment; these count calls so pairs balance.
HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
