#pragma once
// The one chain that every file and payload takes: a text archive, zlib
// compression, then a toolkit stream. Files put a raw 4-byte magic number
// (little-endian) in front and start their archive with an ArchiveInfo.
//
// Every read from outside has a budget (see cmn::ReadBudget): the bytes of
// decompressed archive text it may read plus a charge per object it builds.
// A file loader uses kFileReadBudget unless its caller gives its own; a
// reader of bytes in memory (a record's item block, a network payload) names
// its budget with ReadArchive, e.g.
//   cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> query; }, kMyBudget);
// Past the budget the read throws cmn::archive_too_large (an archive
// exception), having allocated no more than about the budget.
#include <cstdint>
#include <exception>
#include <functional>

#include <wx/stream.h>
#include <wx/string.h>

#include "cmn/iarchive.h"

// Thrown by the file readers when a file does not open, is shorter than four
// bytes, or starts with another magic number; nothing has been read then.
class bad_archive : public std::exception {
 public:
  const char* what() const noexcept override { return "not an archive of the expected kind"; }
};

// The header object of every archive file: the version number of the program
// that wrote it, then a revision. A reader presets it to (-1, -1).
struct ArchiveInfo {
  int version = -1;
  int revision = -1;

  ArchiveInfo() = default;
  ArchiveInfo(int v, int r) : version(v), revision(r) {}

  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    ar & version;
    ar & revision;
  }
};

namespace cmn {

// The budget of a history or record-list file: above what a real one holds
// (a full list of a hundred large screenshots is about 400 MB of archive
// text), far below what would exhaust the memory of the computer that reads
// it.
constexpr std::uint64_t kFileReadBudget = std::uint64_t(512) << 20;

// Magic numbers of the archive files.
constexpr std::uint32_t kSettingsFileMagic = 0x4DE7FFA0u;
constexpr std::uint32_t kHistoryFileMagic = 0x428DC530u;
constexpr std::uint32_t kRecordListFileMagic = 0xBF8B3080u;

using ArchiveWriter = std::function<void(oarchive&)>;
using ArchiveReader = std::function<void(iarchive&)>;

// Writes a compressed text archive (zlib header, default level) to `out`.
// Every layer is flushed and checked: when anything fails, this throws and
// `out` holds an incomplete stream. Texts use the classic locale. Returns the
// number of bytes of archive text written (before compression).
std::uint64_t WriteArchive(wxOutputStream& out, const ArchiveWriter& body);
// Reads a compressed text archive (zlib or gzip header) from `in`, within
// `budget` (see cmn::ReadBudget): past it, archive_too_large. Damaged data
// throws the archive's or the stream's exception.
void ReadArchive(wxInputStream& in, const ArchiveReader& body, std::uint64_t budget);

// Writes magic and archive to a temporary file beside `path` and replaces
// `path` with it only when everything was written and flushed to disk.
// Returns false, writing nothing, when the temporary file cannot be created;
// throws when writing fails, and then `path` is left as it was.
bool SaveArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveWriter& body);
// Throws bad_archive for a file that does not open, is shorter than four
// bytes or has another magic; otherwise reads the archive as ReadArchive.
void LoadArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveReader& body,
                     std::uint64_t budget = kFileReadBudget);

// Copies a file that could not be read to `path` + ".bak" (replacing an
// older copy), so that writing `path` loses nothing; throws
// std::runtime_error when the copy cannot be made.
void KeepUnreadFile(const wxString& path);

template <class T>
bool SaveArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveInfo& info, const T& payload) {
  return SaveArchiveFile(path, magic, [&](oarchive& ar) {
    ar << info;
    ar << payload;
  });
}

// Returns the ArchiveInfo the file carried.
template <class T>
ArchiveInfo LoadArchiveFile(const wxString& path, std::uint32_t magic, T& payload,
                            std::uint64_t budget = kFileReadBudget) {
  ArchiveInfo info;
  LoadArchiveFile(
      path, magic,
      [&](iarchive& ar) {
        ar >> info;
        ar >> payload;
      },
      budget);
  return info;
}

}  // namespace cmn
