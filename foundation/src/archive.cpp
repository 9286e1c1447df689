#include "cmn/archive.h"

#include <ios>
#include <locale>
#include <stdexcept>
#include <sys/stat.h>

#include <boost/iostreams/stream.hpp>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "cmn/wxstream.h"
#include "tempfile.h"

namespace cmn {

namespace {
constexpr std::size_t kReadBuffer = 64 * 1024;

void Check(bool ok, const char* what) {
  if (!ok) throw std::ios_base::failure(what);
}

// The decompressed text as it reaches the archive, taken from the budget;
// what does not fit is not delivered, so the archive ends short and fails.
class BudgetedSource {
 public:
  typedef char char_type;
  typedef boost::iostreams::source_tag category;

  BudgetedSource(wxInputStream& stream, ReadBudget& budget) : source_(stream), budget_(&budget) {}

  std::streamsize read(char* s, std::streamsize n) {
    const std::streamsize got = source_.read(s, n);
    if (got <= 0) return got;
    const auto fits = static_cast<std::streamsize>(budget_->Take(static_cast<std::uint64_t>(got)));
    return fits > 0 ? fits : -1;
  }

 private:
  wx::wxSource<wxInputStream> source_;
  ReadBudget* budget_;
};

// Counts the archive text on its way to the compressor.
class CountingSink {
 public:
  typedef char char_type;
  typedef boost::iostreams::sink_tag category;

  CountingSink(wxOutputStream& stream, std::uint64_t& count) : sink_(stream), count_(&count) {}

  std::streamsize write(const char* s, std::streamsize n) {
    const std::streamsize done = sink_.write(s, n);
    *count_ += static_cast<std::uint64_t>(done);
    return done;
  }

 private:
  wx::wxSink<wxOutputStream> sink_;
  std::uint64_t* count_;
};
}  // namespace

std::uint64_t WriteArchive(wxOutputStream& out, const ArchiveWriter& body) {
  wxLogNull quiet;  // the toolkit's streams report through the log as well
  // The filters hold `out` by reference: closing them never closes (or, for a
  // temporary file, commits) it.
  wxBufferedOutputStream outer(out);
  wxZlibOutputStream zlib(outer, wxZ_DEFAULT_COMPRESSION, wxZLIB_ZLIB);
  wxBufferedOutputStream inner(zlib);
  std::uint64_t written = 0;
  {
    boost::iostreams::stream<CountingSink> os{CountingSink(inner, written)};
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
  return written;
}

void ReadArchive(wxInputStream& in, const ArchiveReader& body, std::uint64_t budget) {
  wxLogNull quiet;
  // Large buffers: inflating a kilobyte at a time (the toolkit's default)
  // spends more on the calls than on inflating.
  wxBufferedInputStream outer(in, kReadBuffer);
  wxZlibInputStream zlib(outer, wxZLIB_AUTO);
  wxBufferedInputStream inner(zlib, kReadBuffer);
  ReadBudget left(budget);
  try {
    boost::iostreams::stream<BudgetedSource> is{BudgetedSource(inner, left), kReadBuffer};
    is.imbue(std::locale::classic());
    iarchive ar(is, 0, &left);
    body(ar);
  } catch (const archive_too_large&) {
    throw;
  } catch (...) {
    // Text cut off at the budget fails wherever the archive stood then.
    if (left.Exceeded()) throw archive_too_large(budget);
    throw;
  }
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

void LoadArchiveFile(const wxString& path, std::uint32_t magic, const ArchiveReader& body, std::uint64_t budget) {
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
  ReadArchive(file, body, budget);
}

void KeepUnreadFile(const wxString& path) {
  wxLogNull quiet;
  if (!wxCopyFile(path, path + ".bak", true))
    throw std::runtime_error("cannot keep the unread file " + path.utf8_string() + " as .bak");
}

}  // namespace cmn
