#pragma once
// Embedded objects, as far as the clipboard needs them: an object made from a
// data object that offers an embedding, kept in a storage, loaded from it
// again, and rendering its embedding back as a data object.
#include "platform/com.h"
#include "platform/gdi.h"
#include "platform/storage.h"

struct MSG;
struct LOGPALETTE;
class IMoniker;
class IOleContainer;
class IEnumOLEVERB;

enum : DWORD {
  OLERENDER_NONE = 0,
  OLERENDER_DRAW = 1,
  OLERENDER_FORMAT = 2,
  OLERENDER_ASIS = 3,
};

enum : DWORD {
  OLECLOSE_SAVEIFDIRTY = 0,
  OLECLOSE_NOSAVE = 1,
  OLECLOSE_PROMPTSAVE = 2,
};

class IOleClientSite : public IUnknown {
 public:
  virtual HRESULT SaveObject() = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT GetContainer(IOleContainer** ppContainer) = 0;
  virtual HRESULT ShowObject() = 0;
  virtual HRESULT OnShowWindow(BOOL fShow) = 0;
  virtual HRESULT RequestNewObjectLayout() = 0;

 protected:
  ~IOleClientSite() = default;
};

class IOleObject : public IUnknown {
 public:
  virtual HRESULT SetClientSite(IOleClientSite* pClientSite) = 0;
  virtual HRESULT GetClientSite(IOleClientSite** ppClientSite) = 0;
  virtual HRESULT SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) = 0;
  virtual HRESULT Close(DWORD dwSaveOption) = 0;
  virtual HRESULT SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) = 0;
  virtual HRESULT GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) = 0;
  virtual HRESULT InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) = 0;
  // A data object offering the object's embedding ("Embedded Object",
  // TYMED_ISTORAGE): what the object was made from.
  virtual HRESULT GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) = 0;
  virtual HRESULT DoVerb(LONG iVerb, MSG* lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                         const RECT* lprcPosRect) = 0;
  virtual HRESULT EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) = 0;
  virtual HRESULT Update() = 0;
  virtual HRESULT IsUpToDate() = 0;
  virtual HRESULT GetUserClassID(CLSID* pClsid) = 0;
  virtual HRESULT GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) = 0;
  virtual HRESULT SetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT GetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
  virtual HRESULT Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) = 0;
  virtual HRESULT Unadvise(DWORD dwConnection) = 0;
  virtual HRESULT EnumAdvise(IEnumSTATDATA** ppenumAdvise) = 0;
  virtual HRESULT GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) = 0;
  virtual HRESULT SetColorScheme(LOGPALETTE* pLogpal) = 0;

 protected:
  ~IOleObject() = default;
};

// Makes an object from `pSrcDataObj`'s embedding ("Embed Source" or
// "Embedded Object" with TYMED_ISTORAGE), copied into `pStg`. OLE_E_STATIC
// when the source offers no embedding; the failing call's result when the
// copy fails. renderopt: OLERENDER_NONE or OLERENDER_ASIS (no presentation
// cache is kept); others give E_NOTIMPL. riid: IID_IOleObject or IID_IUnknown.
HRESULT OleCreateFromData(IDataObject* pSrcDataObj, REFIID riid, DWORD renderopt, FORMATETC* pFormatEtc,
                          IOleClientSite* pClientSite, IStorage* pStg, LPVOID* ppvObj);
// The object kept in `pStg`.
HRESULT OleLoad(IStorage* pStg, REFIID riid, IOleClientSite* pClientSite, LPVOID* ppvObj);
