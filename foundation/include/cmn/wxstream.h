#pragma once
// boost.iostreams devices over the toolkit's streams: every archive file and
// every network payload passes through them.
#include <ios>

#include <boost/iostreams/categories.hpp>
#include <wx/stream.h>

namespace cmn {
namespace wx {

// Writes every byte it is given or throws: Boost must never see a short or
// failed write from a sink (it does not recover from one).
template <class Stream = wxOutputStream>
class wxSink {
 public:
  typedef char char_type;
  typedef boost::iostreams::sink_tag category;

  explicit wxSink(Stream& stream) : stream_(&stream) {}

  std::streamsize write(const char* s, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n) {
      stream_->Write(s + done, static_cast<size_t>(n - done));
      const size_t wrote = stream_->LastWrite();
      if (stream_->GetLastError() != wxSTREAM_NO_ERROR || wrote == 0)
        throw std::ios_base::failure("write to stream failed");
      done += static_cast<std::streamsize>(wrote);
    }
    return n;
  }

 private:
  Stream* stream_;
};

// Reads what the toolkit stream gives; its end is the end of input. A read
// error is thrown, so damaged data is never taken for a short archive.
template <class Stream = wxInputStream>
class wxSource {
 public:
  typedef char char_type;
  typedef boost::iostreams::source_tag category;

  explicit wxSource(Stream& stream) : stream_(&stream) {}

  std::streamsize read(char* s, std::streamsize n) {
    if (Failed()) throw std::ios_base::failure("read from stream failed");
    if (stream_->GetLastError() != wxSTREAM_NO_ERROR) return -1;
    stream_->Read(s, static_cast<size_t>(n));
    const size_t got = stream_->LastRead();
    if (got == 0) {
      if (Failed()) throw std::ios_base::failure("read from stream failed");
      return -1;
    }
    return static_cast<std::streamsize>(got);
  }

 private:
  bool Failed() const {
    const wxStreamError e = stream_->GetLastError();
    return e != wxSTREAM_NO_ERROR && e != wxSTREAM_EOF;
  }
  Stream* stream_;
};

}  // namespace wx
}  // namespace cmn
