#pragma once
// Structured storage: byte arrays (ILockBytes) over global memory, streams,
// and storages (trees of named streams and storages) kept in a byte array.
//
// The byte layout inside a storage is this layer's own (not a compound file);
// it is checked when opened, so damaged or hostile bytes give an error, never
// a crash. Storages work in direct mode: Commit (and the release of the root)
// writes the tree to the byte array.
#include <vector>

#include "platform/com.h"

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  std::uint64_t QuadPart;
};

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  std::int64_t QuadPart;
};

using SNB = OLECHAR**;

enum : DWORD {
  STGM_DIRECT = 0x00000000,
  STGM_READ = 0x00000000,
  STGM_WRITE = 0x00000001,
  STGM_READWRITE = 0x00000002,
  STGM_SHARE_DENY_NONE = 0x00000040,
  STGM_SHARE_DENY_READ = 0x00000030,
  STGM_SHARE_DENY_WRITE = 0x00000020,
  STGM_SHARE_EXCLUSIVE = 0x00000010,
  STGM_PRIORITY = 0x00040000,
  STGM_CREATE = 0x00001000,
  STGM_CONVERT = 0x00020000,
  STGM_FAILIFTHERE = 0x00000000,
  STGM_TRANSACTED = 0x00010000,
  STGM_DELETEONRELEASE = 0x04000000,
};

enum : DWORD {
  STGC_DEFAULT = 0,
  STGC_OVERWRITE = 1,
  STGC_ONLYIFCURRENT = 2,
};

enum : DWORD {
  STATFLAG_DEFAULT = 0,
  STATFLAG_NONAME = 1,
};

enum : DWORD {
  STGTY_STORAGE = 1,
  STGTY_STREAM = 2,
  STGTY_LOCKBYTES = 3,
};

enum : DWORD {
  STREAM_SEEK_SET = 0,
  STREAM_SEEK_CUR = 1,
  STREAM_SEEK_END = 2,
};

// pwcsName, unless STATFLAG_NONAME was given, is allocated with
// CoTaskMemAlloc and freed by the caller with CoTaskMemFree.
struct STATSTG {
  LPOLESTR pwcsName;
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

class ISequentialStream : public IUnknown {
 public:
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;

 protected:
  ~ISequentialStream() = default;
};

class IStream : public ISequentialStream {
 public:
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;

 protected:
  ~IStream() = default;
};

class ILockBytes : public IUnknown {
 public:
  virtual HRESULT ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER cb) = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;

 protected:
  ~ILockBytes() = default;
};

class IEnumSTATSTG : public IUnknown {
 public:
  virtual HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumSTATSTG** ppenum) = 0;

 protected:
  ~IEnumSTATSTG() = default;
};

class IStorage : public IUnknown {
 public:
  virtual HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                               IStream** ppstm) = 0;
  virtual HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                             IStream** ppstm) = 0;
  virtual HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                IStorage** ppstg) = 0;
  virtual HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                              DWORD reserved, IStorage** ppstg) = 0;
  // Copies every element (and the class and state bits) into `pstgDest`,
  // replacing elements of the same name. Excluding IID_IStorage copies
  // streams only; IID_IStream, storages only; names in snbExclude are skipped.
  virtual HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) = 0;
  virtual HRESULT MoveElementTo(const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName,
                                DWORD grfFlags) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) = 0;
  virtual HRESULT DestroyElement(const OLECHAR* pwcsName) = 0;
  virtual HRESULT RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) = 0;
  virtual HRESULT SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
                                  const FILETIME* pmtime) = 0;
  virtual HRESULT SetClass(REFCLSID clsid) = 0;
  virtual HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;

 protected:
  ~IStorage() = default;
};
using LPSTORAGE = IStorage*;
using LPSTREAM = IStream*;
using LPLOCKBYTES = ILockBytes*;

enum : DWORD { MOVEFILE_COPY = 1, STGMOVE_MOVE = 0, STGMOVE_COPY = 1 };

// A byte array over `hGlobal` (a new, empty block when null). With
// fDeleteOnRelease the block is freed when the array's last reference goes.
// The array grows its block as needed; its size is kept apart from the
// block's (rounded) size.
HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, ILockBytes** pplkbyt);
HRESULT GetHGlobalFromILockBytes(ILockBytes* plkbyt, HGLOBAL* phglobal);
// The same for a stream.
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, IStream** ppstm);
HRESULT GetHGlobalFromStream(IStream* pstm, HGLOBAL* phglobal);

// A new, empty storage in `plkbyt`. Without STGM_CREATE an array that already
// holds bytes gives STG_E_FILEALREADYEXISTS.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* plkbyt, DWORD grfMode, DWORD reserved, IStorage** ppstgOpen);
// Opens the storage held in `plkbyt`: STG_E_FILEALREADYEXISTS when the bytes
// are not a storage, STG_E_DOCFILECORRUPT when they are damaged.
HRESULT StgOpenStorageOnILockBytes(ILockBytes* plkbyt, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                                   DWORD reserved, IStorage** ppstgOpen);
// S_OK when the array holds a storage, S_FALSE otherwise.
HRESULT StgIsStorageILockBytes(ILockBytes* plkbyt);
HRESULT ReadClassStg(IStorage* pStg, CLSID* pclsid);
HRESULT WriteClassStg(IStorage* pStg, REFCLSID rclsid);

namespace platform {
// A new storage (in a new global block, freed with it) holding a copy of
// `from`'s elements.
HRESULT CopyStorageToNew(IStorage* from, IStorage** out);
// The bytes of a storage as it would be kept in a byte array.
HRESULT StorageToBytes(IStorage* stg, std::vector<BYTE>* out);
// A new storage over a copy of `bytes` (checked as StgOpenStorageOnILockBytes
// checks them), opened read-write.
HRESULT StorageFromBytes(const void* bytes, std::size_t size, IStorage** out);
}  // namespace platform
