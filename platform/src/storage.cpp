#include "platform/storage.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/com_object.h"
#include "platform/global.h"

namespace {
using platform::AnyOf;
using platform::ComObject;

// Largest byte array or stream the layer handles; more is refused.
constexpr std::uint64_t kMaxBytes = std::uint64_t(256) << 20;

LPOLESTR DupName(const std::wstring& s) {
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (!p) return nullptr;
  std::wmemcpy(p, s.c_str(), s.size() + 1);
  return p;
}

void FillStat(STATSTG* st, const std::wstring& name, DWORD type, std::uint64_t size, DWORD mode,
              DWORD flag) {
  std::memset(st, 0, sizeof(*st));
  st->pwcsName = flag == STATFLAG_NONAME ? nullptr : DupName(name);
  st->type = type;
  st->cbSize.QuadPart = size;
  st->grfMode = mode;
}

// A new object of type T filled by `fill`, stored in *out.
template <typename T, typename I, typename Fill>
HRESULT MakeClone(I** out, Fill fill) {
  if (!out) return STG_E_INVALIDPOINTER;
  auto* c = new (std::nothrow) T;
  if (!c) return E_OUTOFMEMORY;
  fill(*c);
  *out = c;
  return S_OK;
}

// ---- A growing byte run in a global block ----------------------------------
// The logical size is kept apart from the block's rounded size.
struct GlobalBytes {
  HGLOBAL mem = nullptr;
  std::uint64_t size = 0;
  bool deleteOnRelease = false;

  ~GlobalBytes() {
    if (deleteOnRelease && mem) GlobalFree(mem);
  }
  HRESULT Resize(std::uint64_t n) {
    if (n > kMaxBytes) return STG_E_MEDIUMFULL;
    if (n > GlobalSize(mem) && !GlobalReAlloc(mem, static_cast<SIZE_T>(n), GMEM_MOVEABLE))
      return STG_E_MEDIUMFULL;
    if (n < size) {
      // Bytes past the end read as zero if the run grows again.
      auto* p = static_cast<BYTE*>(GlobalLock(mem));
      std::memset(p + n, 0, static_cast<std::size_t>(size - n));
      GlobalUnlock(mem);
    }
    size = n;
    return S_OK;
  }
  HRESULT ReadAt(std::uint64_t off, void* pv, ULONG cb, ULONG* read) {
    if (read) *read = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    if (off >= size) return S_OK;
    ULONG n = static_cast<ULONG>(std::min<std::uint64_t>(cb, size - off));
    std::memcpy(pv, static_cast<BYTE*>(GlobalLock(mem)) + off, n);
    GlobalUnlock(mem);
    if (read) *read = n;
    return S_OK;
  }
  HRESULT WriteAt(std::uint64_t off, const void* pv, ULONG cb, ULONG* written) {
    if (written) *written = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    if (off > kMaxBytes || cb > kMaxBytes - off) return STG_E_MEDIUMFULL;
    if (off + cb > size) {
      HRESULT hr = Resize(off + cb);
      if (FAILED(hr)) return hr;
    }
    if (cb) std::memcpy(static_cast<BYTE*>(GlobalLock(mem)) + off, pv, cb);
    if (cb) GlobalUnlock(mem);
    if (written) *written = cb;
    return S_OK;
  }
};

// Opens a global block as a byte run: null means a new empty block; a given
// block starts with its whole (reported) size.
HRESULT OpenGlobalBytes(HGLOBAL h, BOOL deleteOnRelease, GlobalBytes* out) {
  if (!h) {
    h = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!h) return E_OUTOFMEMORY;
    out->size = 0;
  } else {
    if (!GlobalLock(h)) return E_INVALIDARG;
    GlobalUnlock(h);
    out->size = GlobalSize(h);
  }
  out->mem = h;
  out->deleteOnRelease = deleteOnRelease != FALSE;
  return S_OK;
}

class LockBytes final : public ComObject<ILockBytes> {
 public:
  GlobalBytes bytes;

  HRESULT ReadAt(ULARGE_INTEGER off, void* pv, ULONG cb, ULONG* read) override {
    return bytes.ReadAt(off.QuadPart, pv, cb, read);
  }
  HRESULT WriteAt(ULARGE_INTEGER off, const void* pv, ULONG cb, ULONG* written) override {
    return bytes.WriteAt(off.QuadPart, pv, cb, written);
  }
  HRESULT Flush() override { return S_OK; }
  HRESULT SetSize(ULARGE_INTEGER cb) override { return bytes.Resize(cb.QuadPart); }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    FillStat(st, L"", STGTY_LOCKBYTES, bytes.size, STGM_READWRITE, flag);
    return S_OK;
  }

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_ILockBytes; }
};

// Seek and CopyTo for every stream.
HRESULT SeekIn(std::uint64_t& pos, std::uint64_t size, LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) {
  std::int64_t base;
  switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<std::int64_t>(pos);
      break;
    case STREAM_SEEK_END:
      base = static_cast<std::int64_t>(size);
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  std::int64_t target = base + move.QuadPart;
  if (target < 0) return STG_E_INVALIDFUNCTION;
  pos = static_cast<std::uint64_t>(target);
  if (newPos) newPos->QuadPart = pos;
  return S_OK;
}

HRESULT CopyStream(IStream* src, IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* read, ULARGE_INTEGER* written) {
  if (!dest) return STG_E_INVALIDPOINTER;
  std::uint64_t left = cb.QuadPart, total = 0, totalWritten = 0;
  BYTE buf[8192];
  while (left) {
    ULONG got = 0;
    HRESULT hr = src->Read(buf, static_cast<ULONG>(std::min<std::uint64_t>(left, sizeof buf)), &got);
    if (FAILED(hr)) return hr;
    if (!got) break;
    total += got;
    left -= got;
    ULONG put = 0;
    hr = dest->Write(buf, got, &put);
    totalWritten += put;
    if (FAILED(hr)) return hr;
  }
  if (read) read->QuadPart = total;
  if (written) written->QuadPart = totalWritten;
  return S_OK;
}

// What both kinds of stream share: direct mode, no region locks, copies
// through Read and Write.
class StreamBase : public ComObject<IStream> {
 public:
  HRESULT CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
    return CopyStream(this, dest, cb, read, written);
  }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

 protected:
  bool Supports(REFIID riid) const override { return AnyOf(riid, {&IID_IStream, &IID_ISequentialStream}); }
};

class GlobalStream final : public StreamBase {
 public:
  std::shared_ptr<GlobalBytes> bytes = std::make_shared<GlobalBytes>();
  std::uint64_t pos = 0;

  HRESULT Read(void* pv, ULONG cb, ULONG* read) override {
    ULONG n = 0;
    HRESULT hr = bytes->ReadAt(pos, pv, cb, &n);
    pos += n;
    if (read) *read = n;
    return hr;
  }
  HRESULT Write(const void* pv, ULONG cb, ULONG* written) override {
    ULONG n = 0;
    HRESULT hr = bytes->WriteAt(pos, pv, cb, &n);
    pos += n;
    if (written) *written = n;
    return hr;
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    return SeekIn(pos, bytes->size, move, origin, newPos);
  }
  HRESULT SetSize(ULARGE_INTEGER n) override { return bytes->Resize(n.QuadPart); }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    FillStat(st, L"", STGTY_STREAM, bytes->size, STGM_READWRITE, flag);
    return S_OK;
  }
  HRESULT Clone(IStream** out) override {
    return MakeClone<GlobalStream>(out, [this](GlobalStream& c) {
      c.bytes = bytes;
      c.pos = pos;
    });
  }
};

// ---- The storage tree --------------------------------------------------------
struct NameLess {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](wchar_t x, wchar_t y) {
      return std::towupper(static_cast<wint_t>(x)) < std::towupper(static_cast<wint_t>(y));
    });
  }
};

struct Node {
  bool isStorage = true;
  std::vector<BYTE> data;  // streams
  std::map<std::wstring, std::shared_ptr<Node>, NameLess> children;  // storages
  CLSID clsid = CLSID_NULL;
  DWORD stateBits = 0;
};

std::shared_ptr<Node> DeepCopy(const Node& n) {
  auto c = std::make_shared<Node>();
  c->isStorage = n.isStorage;
  c->data = n.data;
  c->clsid = n.clsid;
  c->stateBits = n.stateBits;
  for (const auto& [name, child] : n.children) c->children.emplace(name, DeepCopy(*child));
  return c;
}

// Byte layout: magic, body length (u64), then the root node. A storage node
// is kind 1, class id, state bits, child count and each child as name length,
// UTF-16 name and node; a stream node is kind 2, length and bytes. Bytes after
// the body (the slack of a rounded block) are ignored.
constexpr char kMagic[8] = {'P', 'Q', 'S', 'T', 'O', 'R', 'E', '1'};
constexpr std::size_t kMaxName = 31;
constexpr int kMaxDepth = 32;

void Put(std::vector<BYTE>& out, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(BYTE(v >> (8 * i)));
}

void Write(const Node& n, std::vector<BYTE>& out) {
  if (!n.isStorage) {
    out.push_back(2);
    Put(out, n.data.size(), 8);
    out.insert(out.end(), n.data.begin(), n.data.end());
    return;
  }
  out.push_back(1);
  const BYTE* id = reinterpret_cast<const BYTE*>(&n.clsid);
  Put(out, n.clsid.Data1, 4);
  Put(out, n.clsid.Data2, 2);
  Put(out, n.clsid.Data3, 2);
  out.insert(out.end(), id + 8, id + 16);
  Put(out, n.stateBits, 4);
  Put(out, n.children.size(), 4);
  for (const auto& [name, child] : n.children) {
    Put(out, name.size(), 2);
    for (wchar_t c : name) Put(out, static_cast<std::uint32_t>(c) & 0xFFFF, 2);
    Write(*child, out);
  }
}

std::vector<BYTE> Serialize(const Node& root) {
  std::vector<BYTE> body;
  Write(root, body);
  std::vector<BYTE> out(kMagic, kMagic + 8);
  Put(out, body.size(), 8);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

bool ValidName(const OLECHAR* name) {
  if (!name) return false;
  std::size_t n = std::wcslen(name);
  if (n == 0 || n > kMaxName) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (name[i] == L'\\' || name[i] == L'/' || name[i] == L':' || name[i] == L'!') return false;
  return true;
}

class Reader {
 public:
  Reader(const BYTE* p, std::size_t n) : p_(p), n_(n) {}
  bool Get(std::uint64_t& v, int bytes) {
    if (n_ - pos_ < std::size_t(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) v |= std::uint64_t(p_[pos_ + i]) << (8 * i);
    pos_ += bytes;
    return true;
  }
  bool Bytes(std::size_t count, std::vector<BYTE>& out) {
    if (n_ - pos_ < count) return false;
    out.assign(p_ + pos_, p_ + pos_ + count);
    pos_ += count;
    return true;
  }
  bool AtEnd() const { return pos_ == n_; }

 private:
  const BYTE* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

std::shared_ptr<Node> Parse(Reader& r, int depth) {
  std::uint64_t kind;
  if (depth > kMaxDepth || !r.Get(kind, 1)) return nullptr;
  auto n = std::make_shared<Node>();
  if (kind == 2) {
    std::uint64_t len;
    if (!r.Get(len, 8) || len > kMaxBytes || !r.Bytes(static_cast<std::size_t>(len), n->data)) return nullptr;
    n->isStorage = false;
    return n;
  }
  if (kind != 1) return nullptr;
  std::uint64_t v;
  std::vector<BYTE> tail;
  if (!r.Get(v, 4)) return nullptr;
  n->clsid.Data1 = static_cast<std::uint32_t>(v);
  if (!r.Get(v, 2)) return nullptr;
  n->clsid.Data2 = static_cast<std::uint16_t>(v);
  if (!r.Get(v, 2)) return nullptr;
  n->clsid.Data3 = static_cast<std::uint16_t>(v);
  if (!r.Bytes(8, tail)) return nullptr;
  std::memcpy(n->clsid.Data4, tail.data(), 8);
  std::uint64_t count;
  if (!r.Get(v, 4) || !r.Get(count, 4)) return nullptr;
  n->stateBits = static_cast<DWORD>(v);
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t len;
    if (!r.Get(len, 2) || len == 0 || len > kMaxName) return nullptr;
    std::wstring name;
    for (std::uint64_t k = 0; k < len; ++k) {
      // A NUL would end the name where callers read it, but not in the
      // tree: two elements would go by one name.
      if (!r.Get(v, 2) || v == 0) return nullptr;
      name.push_back(static_cast<wchar_t>(v));
    }
    if (!ValidName(name.c_str())) return nullptr;
    auto child = Parse(r, depth + 1);
    if (!child || !n->children.emplace(name, child).second) return nullptr;
  }
  return n;
}

// 1: not a storage of ours, 2: damaged; 0 with the root on success.
int Deserialize(const std::vector<BYTE>& bytes, std::shared_ptr<Node>* root) {
  if (bytes.size() < 16 || std::memcmp(bytes.data(), kMagic, 8) != 0) return 1;
  Reader head(bytes.data() + 8, 8);
  std::uint64_t len;
  head.Get(len, 8);
  if (len > bytes.size() - 16) return 2;
  Reader r(bytes.data() + 16, static_cast<std::size_t>(len));
  auto n = Parse(r, 0);
  if (!n || !n->isStorage || !r.AtEnd()) return 2;
  *root = n;
  return 0;
}

HRESULT ReadAll(ILockBytes* lb, std::vector<BYTE>* out) {
  STATSTG st;
  HRESULT hr = lb->Stat(&st, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (st.cbSize.QuadPart > kMaxBytes) return STG_E_DOCFILECORRUPT;
  out->assign(static_cast<std::size_t>(st.cbSize.QuadPart), 0);
  std::size_t done = 0;
  while (done < out->size()) {
    ULONG got = 0;
    ULARGE_INTEGER off;
    off.QuadPart = done;
    hr = lb->ReadAt(off, out->data() + done, static_cast<ULONG>(std::min<std::size_t>(out->size() - done, 1 << 20)),
                    &got);
    if (FAILED(hr)) return hr;
    if (!got) return STG_E_READFAULT;
    done += got;
  }
  return S_OK;
}

// What every object of one open storage tree shares: the byte array it lives
// in, written back on Commit and when the last object of the tree goes.
struct Root {
  ILockBytes* lb = nullptr;
  std::shared_ptr<Node> node;
  bool writable = false;
  bool transacted = false;
  bool dirty = false;

  ~Root() {
    if (dirty && !transacted) Flush();
    if (lb) lb->Release();
  }
  HRESULT Flush() {
    if (!writable) return STG_E_ACCESSDENIED;
    std::vector<BYTE> bytes;
    try {
      bytes = Serialize(*node);
    } catch (const std::bad_alloc&) {
      return STG_E_INSUFFICIENTMEMORY;
    }
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    HRESULT hr = lb->SetSize(size);
    if (FAILED(hr)) return hr;
    ULARGE_INTEGER zero;
    zero.QuadPart = 0;
    ULONG written = 0;
    hr = lb->WriteAt(zero, bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    dirty = false;
    return S_OK;
  }
};

bool CanWrite(DWORD mode) { return (mode & 3) == STGM_WRITE || (mode & 3) == STGM_READWRITE; }
bool ValidAccess(DWORD mode) { return (mode & 3) != 3; }

class TreeStream final : public StreamBase {
 public:
  std::shared_ptr<Root> root;
  std::shared_ptr<Node> node;
  std::wstring name;
  DWORD mode = 0;
  std::uint64_t pos = 0;

  HRESULT Read(void* pv, ULONG cb, ULONG* read) override {
    if (read) *read = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    if (pos >= node->data.size()) return S_OK;
    ULONG n = static_cast<ULONG>(std::min<std::uint64_t>(cb, node->data.size() - pos));
    std::memcpy(pv, node->data.data() + pos, n);
    pos += n;
    if (read) *read = n;
    return S_OK;
  }
  HRESULT Write(const void* pv, ULONG cb, ULONG* written) override {
    if (written) *written = 0;
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    if (pos > kMaxBytes || cb > kMaxBytes - pos) return STG_E_MEDIUMFULL;
    try {
      if (pos + cb > node->data.size()) node->data.resize(static_cast<std::size_t>(pos + cb), 0);
    } catch (const std::bad_alloc&) {
      return STG_E_MEDIUMFULL;
    }
    if (cb) std::memcpy(node->data.data() + pos, pv, cb);
    pos += cb;
    root->dirty = true;
    if (written) *written = cb;
    return S_OK;
  }
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    return SeekIn(pos, node->data.size(), move, origin, newPos);
  }
  HRESULT SetSize(ULARGE_INTEGER n) override {
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    if (n.QuadPart > kMaxBytes) return STG_E_MEDIUMFULL;
    node->data.resize(static_cast<std::size_t>(n.QuadPart), 0);
    root->dirty = true;
    return S_OK;
  }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    FillStat(st, name, STGTY_STREAM, node->data.size(), mode, flag);
    return S_OK;
  }
  HRESULT Clone(IStream** out) override {
    return MakeClone<TreeStream>(out, [this](TreeStream& c) {
      c.root = root;
      c.node = node;
      c.name = name;
      c.mode = mode;
      c.pos = pos;
    });
  }
};

class StatEnum final : public ComObject<IEnumSTATSTG> {
 public:
  struct Entry {
    std::wstring name;
    DWORD type;
    std::uint64_t size;
    CLSID clsid;
  };
  std::vector<Entry> entries;
  std::size_t cursor = 0;

  HRESULT Next(ULONG celt, STATSTG* out, ULONG* fetched) override {
    if (!out || (!fetched && celt != 1)) return STG_E_INVALIDPOINTER;
    ULONG n = 0;
    while (n < celt && cursor < entries.size()) {
      const Entry& e = entries[cursor++];
      FillStat(&out[n], e.name, e.type, e.size, 0, STATFLAG_DEFAULT);
      out[n].clsid = e.clsid;
      ++n;
    }
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    if (celt > entries.size() - cursor) {
      cursor = entries.size();
      return S_FALSE;
    }
    cursor += celt;
    return S_OK;
  }
  HRESULT Reset() override {
    cursor = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumSTATSTG** out) override {
    return MakeClone<StatEnum>(out, [this](StatEnum& c) {
      c.entries = entries;
      c.cursor = cursor;
    });
  }

 protected:
  bool Supports(REFIID riid) const override { return false; }
};

class Storage final : public ComObject<IStorage> {
 public:
  std::shared_ptr<Root> root;
  std::shared_ptr<Node> node;
  std::wstring name;
  DWORD mode = 0;

  static Storage* Make(std::shared_ptr<Root> root, std::shared_ptr<Node> node, std::wstring name, DWORD mode) {
    auto* s = new (std::nothrow) Storage;
    if (!s) return nullptr;
    s->root = std::move(root);
    s->node = std::move(node);
    s->name = std::move(name);
    s->mode = mode;
    return s;
  }

  HRESULT CreateStream(const OLECHAR* n, DWORD m, DWORD, DWORD, IStream** out) override {
    return CreateElement(n, m, false, reinterpret_cast<void**>(out));
  }
  HRESULT OpenStream(const OLECHAR* n, void*, DWORD m, DWORD, IStream** out) override {
    return OpenElement(n, m, false, reinterpret_cast<void**>(out));
  }
  HRESULT CreateStorage(const OLECHAR* n, DWORD m, DWORD, DWORD, IStorage** out) override {
    return CreateElement(n, m, true, reinterpret_cast<void**>(out));
  }
  HRESULT OpenStorage(const OLECHAR* n, IStorage*, DWORD m, SNB, DWORD, IStorage** out) override {
    return OpenElement(n, m, true, reinterpret_cast<void**>(out));
  }
  HRESULT CopyTo(DWORD ciid, const IID* iids, SNB exclude, IStorage* dest) override;
  HRESULT MoveElementTo(const OLECHAR* n, IStorage* dest, const OLECHAR* newName, DWORD flags) override;
  HRESULT Commit(DWORD) override {
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    return root->Flush();
  }
  HRESULT Revert() override {
    if (!root->transacted) return S_OK;
    std::vector<BYTE> bytes;
    std::shared_ptr<Node> fresh;
    if (FAILED(ReadAll(root->lb, &bytes)) || Deserialize(bytes, &fresh) != 0) return STG_E_REVERTED;
    *root->node = *fresh;
    root->dirty = false;
    return S_OK;
  }
  HRESULT EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    auto* e = new (std::nothrow) StatEnum;
    if (!e) return E_OUTOFMEMORY;
    for (const auto& [n, child] : node->children)
      e->entries.push_back({n, child->isStorage ? DWORD(STGTY_STORAGE) : DWORD(STGTY_STREAM),
                            child->isStorage ? 0 : child->data.size(), child->clsid});
    *out = e;
    return S_OK;
  }
  HRESULT DestroyElement(const OLECHAR* n) override {
    if (!n) return STG_E_INVALIDPOINTER;
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    if (!node->children.erase(n)) return STG_E_FILENOTFOUND;
    root->dirty = true;
    return S_OK;
  }
  HRESULT RenameElement(const OLECHAR* from, const OLECHAR* to) override {
    if (!from || !to) return STG_E_INVALIDPOINTER;
    if (!ValidName(to)) return STG_E_INVALIDNAME;
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    auto it = node->children.find(from);
    if (it == node->children.end()) return STG_E_FILENOTFOUND;
    if (node->children.count(to)) return STG_E_FILEALREADYEXISTS;
    auto child = it->second;
    node->children.erase(it);
    node->children.emplace(to, child);
    root->dirty = true;
    return S_OK;
  }
  HRESULT SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*, const FILETIME*) override {
    return S_OK;  // times are not kept
  }
  HRESULT SetClass(REFCLSID clsid) override {
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    node->clsid = clsid;
    root->dirty = true;
    return S_OK;
  }
  HRESULT SetStateBits(DWORD bits, DWORD mask) override {
    if (!CanWrite(mode)) return STG_E_ACCESSDENIED;
    node->stateBits = (node->stateBits & ~mask) | (bits & mask);
    root->dirty = true;
    return S_OK;
  }
  HRESULT Stat(STATSTG* st, DWORD flag) override {
    if (!st) return STG_E_INVALIDPOINTER;
    FillStat(st, name, STGTY_STORAGE, 0, mode, flag);
    st->clsid = node->clsid;
    st->grfStateBits = node->stateBits;
    return S_OK;
  }

  // True when `n` is this storage's node or one below it.
  bool Holds(const Node* n) const { return Contains(*node, n); }

 protected:
  bool Supports(REFIID riid) const override { return riid == IID_IStorage; }

 private:
  static bool Contains(const Node& at, const Node* n) {
    if (&at == n) return true;
    for (const auto& [k, c] : at.children)
      if (Contains(*c, n)) return true;
    return false;
  }

  HRESULT CreateElement(const OLECHAR* n, DWORD m, bool storage, void** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!n) return STG_E_INVALIDPOINTER;
    if (!ValidName(n)) return STG_E_INVALIDNAME;
    if (!ValidAccess(m)) return STG_E_INVALIDFLAG;
    if (!CanWrite(mode) || !CanWrite(m)) return STG_E_ACCESSDENIED;
    auto it = node->children.find(n);
    if (it != node->children.end() && !(m & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
    auto child = std::make_shared<Node>();
    child->isStorage = storage;
    if (it != node->children.end()) {
      it->second = child;
    } else {
      node->children.emplace(n, child);
    }
    root->dirty = true;
    return Wrap(child, n, m, out);
  }

  HRESULT OpenElement(const OLECHAR* n, DWORD m, bool storage, void** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (!n) return STG_E_INVALIDPOINTER;
    if (!ValidAccess(m)) return STG_E_INVALIDFLAG;
    if (CanWrite(m) && !CanWrite(mode)) return STG_E_ACCESSDENIED;
    auto it = node->children.find(n);
    if (it == node->children.end() || it->second->isStorage != storage) return STG_E_FILENOTFOUND;
    return Wrap(it->second, it->first, m, out);
  }

  HRESULT Wrap(const std::shared_ptr<Node>& child, const std::wstring& n, DWORD m, void** out) {
    if (child->isStorage) {
      Storage* s = Make(root, child, n, m);
      if (!s) return E_OUTOFMEMORY;
      *out = static_cast<IStorage*>(s);
    } else {
      auto* s = new (std::nothrow) TreeStream;
      if (!s) return E_OUTOFMEMORY;
      s->root = root;
      s->node = child;
      s->name = n;
      s->mode = m;
      *out = static_cast<IStream*>(s);
    }
    return S_OK;
  }
};

bool Excluded(SNB exclude, const std::wstring& name) {
  for (; exclude && *exclude; ++exclude)
    if (!NameLess()(name, *exclude) && !NameLess()(*exclude, name)) return true;
  return false;
}

HRESULT CopyChild(const std::wstring& name, const Node& child, IStorage* dest);

HRESULT CopyInto(const Node& from, IStorage* dest, DWORD ciid, const IID* iids, SNB exclude) {
  bool noStorages = false, noStreams = false;
  for (DWORD i = 0; iids && i < ciid; ++i) {
    if (iids[i] == IID_IStorage) noStorages = true;
    if (iids[i] == IID_IStream) noStreams = true;
  }
  HRESULT hr = dest->SetClass(from.clsid);
  if (FAILED(hr)) return hr;
  hr = dest->SetStateBits(from.stateBits, 0xFFFFFFFF);
  if (FAILED(hr)) return hr;
  for (const auto& [name, child] : from.children) {
    if (Excluded(exclude, name) || (child->isStorage ? noStorages : noStreams)) continue;
    hr = CopyChild(name, *child, dest);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CopyChild(const std::wstring& name, const Node& child, IStorage* dest) {
  const DWORD m = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
  if (!child.isStorage) {
    IStream* s = nullptr;
    HRESULT hr = dest->CreateStream(name.c_str(), m | STGM_CREATE, 0, 0, &s);
    if (FAILED(hr)) return hr;
    ULONG written = 0;
    hr = s->Write(child.data.data(), static_cast<ULONG>(child.data.size()), &written);
    s->Release();
    return FAILED(hr) ? hr : (written == child.data.size() ? S_OK : STG_E_MEDIUMFULL);
  }
  // A storage of the same name is merged into, as a copy would on disk.
  IStorage* s = nullptr;
  HRESULT hr = dest->OpenStorage(name.c_str(), nullptr, m, nullptr, 0, &s);
  if (FAILED(hr)) hr = dest->CreateStorage(name.c_str(), m | STGM_CREATE, 0, 0, &s);
  if (FAILED(hr)) return hr;
  hr = CopyInto(child, s, 0, nullptr, nullptr);
  s->Release();
  return hr;
}

HRESULT Storage::CopyTo(DWORD ciid, const IID* iids, SNB exclude, IStorage* dest) {
  if (!dest) return STG_E_INVALIDPOINTER;
  if (dest == this) return S_OK;
  if (auto* d = dynamic_cast<Storage*>(dest); d && Holds(d->node.get())) return STG_E_ACCESSDENIED;
  // Copy from a snapshot so a destination inside our tree cannot change
  // what is being walked.
  std::shared_ptr<Node> snapshot;
  try {
    snapshot = DeepCopy(*node);
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  return CopyInto(*snapshot, dest, ciid, iids, exclude);
}

HRESULT Storage::MoveElementTo(const OLECHAR* n, IStorage* dest, const OLECHAR* newName, DWORD flags) {
  if (!n || !dest || !newName) return STG_E_INVALIDPOINTER;
  if (!ValidName(newName)) return STG_E_INVALIDNAME;
  auto it = node->children.find(n);
  if (it == node->children.end()) return STG_E_FILENOTFOUND;
  if (flags == STGMOVE_MOVE && !CanWrite(mode)) return STG_E_ACCESSDENIED;
  auto child = it->second;
  HRESULT hr = CopyChild(newName, *DeepCopy(*child), dest);
  if (FAILED(hr)) return hr;
  if (flags == STGMOVE_MOVE) {
    node->children.erase(n);
    root->dirty = true;
  }
  return S_OK;
}

Storage* OpenRoot(ILockBytes* lb, std::shared_ptr<Node> node, DWORD mode) {
  auto root = std::make_shared<Root>();
  root->node = node;
  root->writable = CanWrite(mode);
  root->transacted = (mode & STGM_TRANSACTED) != 0;
  lb->AddRef();
  root->lb = lb;
  return Storage::Make(root, node, L"", mode);
}
}  // namespace

namespace {
GlobalBytes& BytesOf(LockBytes* lb) { return lb->bytes; }
GlobalBytes& BytesOf(GlobalStream* s) { return *s->bytes; }

// A new byte array or stream over a global block.
template <typename T, typename I>
HRESULT OnGlobal(HGLOBAL h, BOOL deleteOnRelease, I** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  auto* obj = new (std::nothrow) T;
  if (!obj) return E_OUTOFMEMORY;
  HRESULT hr = OpenGlobalBytes(h, deleteOnRelease, &BytesOf(obj));
  if (FAILED(hr)) {
    BytesOf(obj).deleteOnRelease = false;  // the caller keeps its block
    obj->Release();
    return hr;
  }
  *out = obj;
  return S_OK;
}

// The block behind one of our byte arrays or streams.
template <typename T, typename I>
HRESULT GlobalOf(I* obj, HGLOBAL* out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  auto* ours = dynamic_cast<T*>(obj);
  if (!ours) return E_INVALIDARG;
  *out = BytesOf(ours).mem;
  return S_OK;
}
}  // namespace

HRESULT CreateILockBytesOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, ILockBytes** out) {
  return OnGlobal<LockBytes>(hGlobal, fDeleteOnRelease, out);
}

HRESULT GetHGlobalFromILockBytes(ILockBytes* plkbyt, HGLOBAL* out) { return GlobalOf<LockBytes>(plkbyt, out); }

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, IStream** out) {
  return OnGlobal<GlobalStream>(hGlobal, fDeleteOnRelease, out);
}

HRESULT GetHGlobalFromStream(IStream* pstm, HGLOBAL* out) { return GlobalOf<GlobalStream>(pstm, out); }

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* lb, DWORD mode, DWORD, IStorage** out) {
  if (!out) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!lb) return STG_E_INVALIDPOINTER;
  if (!ValidAccess(mode)) return STG_E_INVALIDFLAG;
  if (!CanWrite(mode)) return STG_E_INVALIDFLAG;
  if (!(mode & STGM_CREATE)) {
    STATSTG st;
    HRESULT hr = lb->Stat(&st, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    if (st.cbSize.QuadPart) return STG_E_FILEALREADYEXISTS;
  }
  Storage* s = OpenRoot(lb, std::make_shared<Node>(), mode);
  if (!s) return E_OUTOFMEMORY;
  HRESULT hr = s->root->Flush();
  if (FAILED(hr)) {
    s->root->writable = false;
    s->Release();
    return hr;
  }
  *out = s;
  return S_OK;
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* lb, IStorage* priority, DWORD mode, SNB, DWORD,
                                   IStorage** out) {
  if (!out) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!lb || priority) return STG_E_INVALIDPOINTER;
  if (!ValidAccess(mode)) return STG_E_INVALIDFLAG;
  std::vector<BYTE> bytes;
  std::shared_ptr<Node> root;
  try {
    HRESULT hr = ReadAll(lb, &bytes);
    if (FAILED(hr)) return hr;
    switch (Deserialize(bytes, &root)) {
      case 0:
        break;
      case 1:
        return STG_E_FILEALREADYEXISTS;
      default:
        return STG_E_DOCFILECORRUPT;
    }
  } catch (const std::bad_alloc&) {
    return STG_E_INSUFFICIENTMEMORY;
  }
  Storage* s = OpenRoot(lb, root, mode);
  if (!s) return E_OUTOFMEMORY;
  *out = s;
  return S_OK;
}

HRESULT StgIsStorageILockBytes(ILockBytes* lb) {
  if (!lb) return STG_E_INVALIDPOINTER;
  std::vector<BYTE> bytes;
  std::shared_ptr<Node> root;
  if (FAILED(ReadAll(lb, &bytes))) return S_FALSE;
  return Deserialize(bytes, &root) == 0 ? S_OK : S_FALSE;
}

HRESULT ReadClassStg(IStorage* stg, CLSID* clsid) {
  if (!stg || !clsid) return E_INVALIDARG;
  STATSTG st;
  HRESULT hr = stg->Stat(&st, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  *clsid = st.clsid;
  return S_OK;
}

HRESULT WriteClassStg(IStorage* stg, REFCLSID clsid) {
  if (!stg) return E_INVALIDARG;
  return stg->SetClass(clsid);
}

namespace platform {
HRESULT CopyStorageToNew(IStorage* from, IStorage** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!from) return E_INVALIDARG;
  ILockBytes* lb = nullptr;
  HRESULT hr = CreateILockBytesOnHGlobal(nullptr, TRUE, &lb);
  if (FAILED(hr)) return hr;
  IStorage* stg = nullptr;
  hr = StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg);
  lb->Release();
  if (FAILED(hr)) return hr;
  hr = from->CopyTo(0, nullptr, nullptr, stg);
  if (SUCCEEDED(hr)) hr = stg->Commit(STGC_DEFAULT);
  if (FAILED(hr)) {
    stg->Release();
    return hr;
  }
  *out = stg;
  return S_OK;
}

HRESULT StorageToBytes(IStorage* stg, std::vector<BYTE>* out) {
  if (!stg || !out) return E_INVALIDARG;
  IStorage* copy = nullptr;
  HRESULT hr = CopyStorageToNew(stg, &copy);
  if (FAILED(hr)) return hr;
  auto* s = static_cast<Storage*>(copy);
  hr = ReadAll(s->root->lb, out);
  copy->Release();
  return hr;
}

HRESULT StorageFromBytes(const void* bytes, std::size_t size, IStorage** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!bytes && size) return E_INVALIDARG;
  HGLOBAL h = GlobalFromBytes(bytes, size);
  if (!h) return E_OUTOFMEMORY;
  ILockBytes* lb = nullptr;
  HRESULT hr = CreateILockBytesOnHGlobal(h, TRUE, &lb);
  if (FAILED(hr)) {
    GlobalFree(h);
    return hr;
  }
  hr = StgOpenStorageOnILockBytes(lb, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, out);
  lb->Release();
  return hr;
}
}  // namespace platform
