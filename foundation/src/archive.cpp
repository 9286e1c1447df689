#include "cmn/archive.h"

#include <ios>
#include <locale>
#include <sys/stat.h>

#include <boost/iostreams/stream.hpp>
#include <wx/log.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "cmn/wxstream.h"
#include "tempfile.h"

namespace cmn {

namespace {
void Check(bool ok, const char* what) {
  if (!ok) throw std::ios_base::failure(what);
}
}  // namespace

void WriteArchive(wxOutputStream& out, const ArchiveWriter& body) {
  wxLogNull quiet;  // the toolkit's streams report through the log as well
  // The filters hold `out` by reference: closing them never closes (or, for a
  // temporary file, commits) it.
  wxBufferedOutputStream outer(out);
  wxZlibOutputStream zlib(outer, wxZ_DEFAULT_COMPRESSION, wxZLIB_ZLIB);
  wxBufferedOutputStream inner(zlib);
  {
    boost::iostreams::stream<wx::wxSink<wxOutputStream>> os{wx::wxSink<wxOutputStream>(inner)};
    os.imbue(std::locale::classic());
    {
      oarchive ar(os, 0);
      body(ar);
    }  // the archive ends its text here
    os.flush();
    Check(static_cast<bool>(os), "archive stream failed");
  }
  Check(inner.Close() && inner.IsOk(), "buffered stream failed");
  Check(zlib.Close() && zlib.IsOk(), "compression failed");
  Check(outer.Close() && outer.IsOk(), "buffered stream failed");
  Check(out.IsOk(), "output stream failed");
}

void ReadArchive(wxInputStream& in, const ArchiveReader& body) {
  wxLogNull quiet;
  wxBufferedInputStream outer(in);
  wxZlibInputStream zlib(outer, wxZLIB_AUTO);
  wxBufferedInputStream inner(zlib);
  boost::iostreams::stream<wx::wxSource<wxInputStream>> is{wx::wxSource<wxInputStream>(inner)};
  is.imbue(std::locale::classic());
  iarchive ar(is, 0);
  body(ar);
}

bool SaveArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveWriter& body) {
  wxLogNull quiet;
  TempFileOutputStream file(path);
  if (!file.IsOk()) return false;
  const unsigned char raw[4] = {static_cast<unsigned char>(magic & 0xFF), static_cast<unsigned char>((magic >> 8) & 0xFF),
                                static_cast<unsigned char>((magic >> 16) & 0xFF),
                                static_cast<unsigned char>((magic >> 24) & 0xFF)};
  file.Write(raw, sizeof raw);
  Check(file.LastWrite() == sizeof raw && file.IsOk(), "cannot write archive file");
  WriteArchive(file, body);
  Check(file.Commit(), "cannot replace archive file");
  return true;
}

void LoadArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveReader& body) {
  wxLogNull quiet;
  // Only a regular file: a pipe or device would block or never end.
  struct stat st;
  if (::stat(path.fn_str(), &st) != 0 || !S_ISREG(st.st_mode)) throw bad_archive();
  wxFileInputStream file(path);
  if (!file.IsOk()) throw bad_archive();
  unsigned char raw[4] = {0, 0, 0, 0};
  file.Read(raw, sizeof raw);
  if (file.LastRead() != sizeof raw) throw bad_archive();
  const std::uint32_t found = std::uint32_t(raw[0]) | (std::uint32_t(raw[1]) << 8) | (std::uint32_t(raw[2]) << 16) |
                              (std::uint32_t(raw[3]) << 24);
  if (found != magic) throw bad_archive();
  ReadArchive(file, body);
}

}  // namespace cmn
