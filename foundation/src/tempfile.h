#pragma once
// An output stream into a fresh temporary file beside its target that
// replaces the target only on Commit: data is flushed to disk and renamed
// over the target in one step, so the old file survives any failure or crash
// before that point. Without Commit the temporary file is removed.
#include <string>

#include <wx/stream.h>
#include <wx/string.h>

namespace cmn {

class TempFileOutputStream : public wxOutputStream {
 public:
  explicit TempFileOutputStream(const wxString& target);
  ~TempFileOutputStream() override;
  TempFileOutputStream(const TempFileOutputStream&) = delete;
  TempFileOutputStream& operator=(const TempFileOutputStream&) = delete;

  // False (and the target untouched) unless every byte reached the disk and
  // the rename succeeded.
  bool Commit();
  void Discard();
  // Closing never commits: only an explicit Commit replaces the target.
  bool Close() override { return IsOk(); }

 protected:
  size_t OnSysWrite(const void* buffer, size_t size) override;

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace cmn
