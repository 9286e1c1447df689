#include <algorithm>
#include <cstring>
#include <new>

#include "gdi_internal.h"
#include "platform/gdi.h"

namespace {
struct MetaBytes {
  std::vector<BYTE> bytes;
};
// Two tables so an enhanced handle is never taken for an old-style one.
platform::detail::HandleTable<MetaBytes>& Enhanced() {
  static platform::detail::HandleTable<MetaBytes> table;
  return table;
}
platform::detail::HandleTable<MetaBytes>& OldStyle() {
  static platform::detail::HandleTable<MetaBytes> table;
  return table;
}

using platform::detail::Le16;
using platform::detail::Le32;
void Append32(std::vector<BYTE>& v, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(BYTE(x >> (8 * i)));
}
void Append16(std::vector<BYTE>& v, std::uint16_t x) {
  v.push_back(BYTE(x));
  v.push_back(BYTE(x >> 8));
}
void Set32(std::vector<BYTE>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = BYTE(x >> (8 * i));
}

constexpr std::size_t kMaxMetaFile = std::size_t(256) << 20;

// The number of meaningful bytes of a well-formed enhanced metafile, 0 when
// the block is refused.
std::size_t CheckEnhanced(const BYTE* p, std::size_t size) {
  if (!p || size < sizeof(ENHMETAHEADER) || size > kMaxMetaFile) return 0;
  if (Le32(p) != EMR_HEADER || Le32(p + 40) != ENHMETA_SIGNATURE) return 0;
  std::size_t headerSize = Le32(p + 4);
  std::size_t total = Le32(p + 48);
  std::size_t records = Le32(p + 52);
  if (headerSize < sizeof(ENHMETAHEADER) || headerSize % 4 || total > size || total % 4 ||
      headerSize > total)
    return 0;
  std::size_t nDesc = Le32(p + 60), offDesc = Le32(p + 64);
  if (nDesc && (offDesc > headerSize || nDesc > (headerSize - offDesc) / 2)) return 0;
  std::size_t pos = 0, count = 0;
  std::uint32_t lastType = 0;
  while (pos < total) {
    if (total - pos < 8) return 0;
    std::uint32_t type = Le32(p + pos);
    std::size_t len = Le32(p + pos + 4);
    if (len < 8 || len % 4 || len > total - pos) return 0;
    if (count == 0 && len != headerSize) return 0;
    if (count > 0 && type == EMR_HEADER) return 0;
    lastType = type;
    pos += len;
    ++count;
    if (type == EMR_EOF) break;
  }
  if (lastType != EMR_EOF || pos != total || count != records) return 0;
  return total;
}

// The same for an old-style metafile (word-counted header and records).
std::size_t CheckOldStyle(const BYTE* p, std::size_t size) {
  if (!p || size < 18 || size > kMaxMetaFile) return 0;
  std::uint16_t type = Le16(p), headerWords = Le16(p + 2), version = Le16(p + 4);
  std::size_t total = std::size_t(Le32(p + 6)) * 2;
  if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x100 && version != 0x300)) return 0;
  if (total < 18 + 6 || total > size) return 0;
  std::size_t pos = 18;
  while (pos < total) {
    if (total - pos < 6) return 0;
    std::size_t len = std::size_t(Le32(p + pos)) * 2;
    std::uint16_t fn = Le16(p + pos + 4);
    if (len < 6 || len > total - pos) return 0;
    pos += len;
    if (fn == 0) return pos == total ? total : 0;
  }
  return 0;
}

template <typename H>
H Make(platform::detail::HandleTable<MetaBytes>& table, const BYTE* p, std::size_t n) {
  try {
    auto m = std::make_unique<MetaBytes>();
    m->bytes.assign(p, p + n);
    return table.Add<H>(std::move(m));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

UINT CopyOut(MetaBytes* m, UINT size, void* bits) {
  if (!m) return 0;
  if (!bits) return static_cast<UINT>(m->bytes.size());
  if (size < m->bytes.size()) return 0;
  std::memcpy(bits, m->bytes.data(), m->bytes.size());
  return static_cast<UINT>(m->bytes.size());
}

// Markers of a metafile of one kind carried inside the other.
constexpr char kEnhInOld[4] = {'P', 'Q', 'E', 'M'};
constexpr char kOldInEnh[4] = {'P', 'Q', 'W', 'M'};
constexpr std::uint16_t kMetaEscape = 0x0626;
constexpr std::uint16_t kMfComment = 15;
constexpr std::size_t kChunk = 0x2000;

std::vector<BYTE> WrapEnhanced(const std::vector<BYTE>& emf) {
  std::vector<BYTE> out(18, 0);
  std::size_t maxRecord = 0;
  for (std::size_t off = 0; off < emf.size() || off == 0; off += kChunk) {
    std::size_t n = std::min(kChunk, emf.size() - off);
    std::vector<BYTE> data(kEnhInOld, kEnhInOld + 4);
    Append32(data, static_cast<std::uint32_t>(emf.size()));
    data.insert(data.end(), emf.begin() + off, emf.begin() + off + n);
    if (data.size() % 2) data.push_back(0);
    std::size_t words = 3 + 2 + data.size() / 2;
    Append32(out, static_cast<std::uint32_t>(words));
    Append16(out, kMetaEscape);
    Append16(out, kMfComment);
    Append16(out, static_cast<std::uint16_t>(8 + n));
    out.insert(out.end(), data.begin(), data.end());
    maxRecord = std::max(maxRecord, words);
    if (emf.empty()) break;
  }
  Append32(out, 3);
  Append16(out, 0);
  // Header: memory metafile, nine words, version 3.
  out[0] = 1;
  out[2] = 9;
  out[4] = 0x00;
  out[5] = 0x03;
  Set32(out, 6, static_cast<std::uint32_t>(out.size() / 2));
  out[10] = 0;
  out[11] = 0;
  Set32(out, 12, static_cast<std::uint32_t>(std::max<std::size_t>(maxRecord, 3)));
  return out;
}

// The enhanced metafile carried in an old-style one, or empty.
std::vector<BYTE> UnwrapEnhanced(const BYTE* p, std::size_t total) {
  std::vector<BYTE> emf;
  std::size_t expected = 0;
  bool seen = false;
  std::size_t pos = 18;
  while (pos + 6 <= total) {
    std::size_t len = std::size_t(Le32(p + pos)) * 2;
    std::uint16_t fn = Le16(p + pos + 4);
    if (fn == 0) break;
    if (fn == kMetaEscape && len >= 6 + 4 + 8 && Le16(p + pos + 6) == kMfComment &&
        std::memcmp(p + pos + 10, kEnhInOld, 4) == 0) {
      std::size_t n = Le16(p + pos + 8);
      if (n < 8 || 10 + n > len) return {};
      std::size_t claimed = Le32(p + pos + 14);
      if (seen && claimed != expected) return {};
      seen = true;
      expected = claimed;
      emf.insert(emf.end(), p + pos + 18, p + pos + 10 + n);
      if (emf.size() > expected) return {};
    }
    pos += len;
  }
  if (!seen || emf.size() != expected) return {};
  return emf;
}
}  // namespace

namespace platform::detail {
std::size_t LiveMetaFiles() { return Enhanced().Size() + OldStyle().Size(); }
}  // namespace platform::detail

HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data) {
  std::size_t n = CheckEnhanced(data, size);
  return n ? Make<HENHMETAFILE>(Enhanced(), data, n) : nullptr;
}

UINT GetEnhMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* bits) { return CopyOut(Enhanced().Find(mf), size, bits); }

UINT GetEnhMetaFileHeader(HENHMETAFILE mf, UINT size, ENHMETAHEADER* header) {
  MetaBytes* m = Enhanced().Find(mf);
  if (!m) return 0;
  if (!header) return sizeof(ENHMETAHEADER);
  UINT n = std::min<UINT>(size, sizeof(ENHMETAHEADER));
  std::memcpy(header, m->bytes.data(), n);
  return n;
}

HENHMETAFILE CopyEnhMetaFileW(HENHMETAFILE mf, LPCWSTR fileName) {
  MetaBytes* m = Enhanced().Find(mf);
  if (!m || fileName) return nullptr;
  return Make<HENHMETAFILE>(Enhanced(), m->bytes.data(), m->bytes.size());
}

BOOL DeleteEnhMetaFile(HENHMETAFILE mf) { return Enhanced().Remove(mf) ? TRUE : FALSE; }

HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data) {
  std::size_t n = CheckOldStyle(data, size);
  return n ? Make<HMETAFILE>(OldStyle(), data, n) : nullptr;
}

UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, LPVOID bits) { return CopyOut(OldStyle().Find(mf), size, bits); }

BOOL DeleteMetaFile(HMETAFILE mf) { return OldStyle().Remove(mf) ? TRUE : FALSE; }

UINT GetWinMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* bits, INT, HDC) {
  MetaBytes* m = Enhanced().Find(mf);
  if (!m) return 0;
  std::vector<BYTE> out;
  // An enhanced metafile that only carries an old-style one gives that back.
  const std::vector<BYTE>& e = m->bytes;
  std::size_t headerSize = Le32(e.data() + 4);
  if (e.size() >= headerSize + 16 && Le32(e.data() + headerSize) == EMR_GDICOMMENT &&
      std::memcmp(e.data() + headerSize + 12, kOldInEnh, 4) == 0) {
    std::size_t len = Le32(e.data() + headerSize + 4);
    std::size_t dataLen = Le32(e.data() + headerSize + 8);
    if (dataLen >= 4 && 12 + dataLen <= len && headerSize + len <= e.size()) {
      const BYTE* inner = e.data() + headerSize + 16;
      std::size_t n = CheckOldStyle(inner, dataLen - 4);
      if (n) out.assign(inner, inner + n);
    }
  }
  if (out.empty()) out = WrapEnhanced(e);
  if (!bits) return static_cast<UINT>(out.size());
  if (size < out.size()) return 0;
  std::memcpy(bits, out.data(), out.size());
  return static_cast<UINT>(out.size());
}

HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* bits, HDC, const METAFILEPICT* pict) {
  std::size_t total = CheckOldStyle(bits, size);
  if (!total) return nullptr;
  std::vector<BYTE> emf = UnwrapEnhanced(bits, total);
  if (!emf.empty() && CheckEnhanced(emf.data(), emf.size()))
    return Make<HENHMETAFILE>(Enhanced(), emf.data(), emf.size());
  // Otherwise carry the old-style bytes in a comment record.
  RECTL frame{0, 0, 0, 0};
  if (pict && (pict->mm == MM_ANISOTROPIC || pict->mm == MM_ISOTROPIC || pict->mm == MM_HIMETRIC) &&
      pict->xExt > 0 && pict->yExt > 0) {
    frame.right = pict->xExt;
    frame.bottom = pict->yExt;
  }
  std::vector<BYTE> rec;
  Append32(rec, EMR_GDICOMMENT);
  Append32(rec, 0);
  Append32(rec, static_cast<std::uint32_t>(4 + total));
  rec.insert(rec.end(), kOldInEnh, kOldInEnh + 4);
  rec.insert(rec.end(), bits, bits + total);
  while (rec.size() % 4) rec.push_back(0);
  Set32(rec, 4, static_cast<std::uint32_t>(rec.size()));
  std::vector<BYTE> out = platform::MakeEnhMetaFile(frame, {rec});
  return Make<HENHMETAFILE>(Enhanced(), out.data(), out.size());
}

namespace platform {
std::vector<BYTE> MakeEnhMetaFile(const RECTL& frame, const std::vector<std::vector<BYTE>>& records) {
  std::vector<BYTE> out;
  Append32(out, EMR_HEADER);
  Append32(out, sizeof(ENHMETAHEADER));
  // Bounds in device pixels (96 per inch), frame in 0.01 mm.
  auto px = [](LONG hm) { return static_cast<std::uint32_t>(static_cast<LONG>(hm * 96LL / 2540)); };
  Append32(out, px(frame.left));
  Append32(out, px(frame.top));
  Append32(out, px(frame.right));
  Append32(out, px(frame.bottom));
  Append32(out, static_cast<std::uint32_t>(frame.left));
  Append32(out, static_cast<std::uint32_t>(frame.top));
  Append32(out, static_cast<std::uint32_t>(frame.right));
  Append32(out, static_cast<std::uint32_t>(frame.bottom));
  Append32(out, ENHMETA_SIGNATURE);
  Append32(out, 0x10000);
  Append32(out, 0);  // bytes, set below
  Append32(out, static_cast<std::uint32_t>(records.size() + 2));
  Append16(out, 1);
  Append16(out, 0);
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, 0);
  Append32(out, 1920);
  Append32(out, 1080);
  Append32(out, 508);
  Append32(out, 286);
  for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
  // End record: no palette entries.
  Append32(out, EMR_EOF);
  Append32(out, 20);
  Append32(out, 0);
  Append32(out, 16);
  Append32(out, 20);
  Set32(out, 48, static_cast<std::uint32_t>(out.size()));
  return out;
}

std::size_t LiveGdiObjects() { return detail::LiveBitmaps() + detail::LiveMetaFiles(); }
}  // namespace platform

BOOL DeleteObject(HGDIOBJ object) { return platform::detail::DeleteBitmap(object) ? TRUE : FALSE; }
