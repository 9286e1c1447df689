#include "tempfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cmn {

namespace {
std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}
}  // namespace

TempFileOutputStream::TempFileOutputStream(const wxString& target) {
  target_ = std::string(target.fn_str());
  std::string tmpl = target_ + ".tmpXXXXXX";
  fd_ = target_.empty() ? -1 : mkstemp(&tmpl[0]);
  if (fd_ < 0) {
    m_lasterror = wxSTREAM_WRITE_ERROR;
    return;
  }
  temp_ = tmpl;
  // The new file keeps the permissions of the one it replaces.
  struct stat st;
  if (stat(target_.c_str(), &st) == 0) (void)fchmod(fd_, st.st_mode & 07777);
}

TempFileOutputStream::~TempFileOutputStream() { Discard(); }

size_t TempFileOutputStream::OnSysWrite(const void* buffer, size_t size) {
  if (fd_ < 0) {
    m_lasterror = wxSTREAM_WRITE_ERROR;
    return 0;
  }
  const char* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd_, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_lasterror = wxSTREAM_WRITE_ERROR;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}

bool TempFileOutputStream::Commit() {
  if (fd_ < 0 || !IsOk()) {
    Discard();
    return false;
  }
  bool ok = ::fsync(fd_) == 0;
  ok = (::close(fd_) == 0) && ok;
  fd_ = -1;
  if (!ok || ::rename(temp_.c_str(), target_.c_str()) != 0) {
    m_lasterror = wxSTREAM_WRITE_ERROR;
    Discard();
    return false;
  }
  temp_.clear();
  // Make the rename itself durable; the data is already safe either way.
  const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return true;
}

void TempFileOutputStream::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace cmn
