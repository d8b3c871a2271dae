#include "platform/TextFile.h"

#include "platform/Posix.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace pitkit {

TextLineReader::TextLineReader(const std::string& path, std::size_t bufferSize, std::uint64_t textLimit)
    : buffer_(bufferSize == 0 ? 1 : bufferSize), unread_(textLimit) {
  if (path.empty()) throw EInOutError(2);
  // Opened without waiting, so a pipe standing where a text file should be cannot hang the
  // window; only regular files are read (a folder, pipe, socket or device is refused).
  UniqueFd fd(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) EInOutError::raiseFromErrno(errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) throw EInOutError(5);
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  file_ = ::fdopen(fd.get(), "rb");
  if (file_ == nullptr) EInOutError::raiseFromErrno(errno);
  fd.release();  // the stream closes it now
}

TextLineReader::~TextLineReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void TextLineReader::fill() {
  if (atEnd_) return;
  const std::size_t want = unread_ < buffer_.size() ? static_cast<std::size_t>(unread_) : buffer_.size();
  len_ = want == 0 ? 0 : std::fread(buffer_.data(), 1, want, file_);
  unread_ -= len_;
  pos_ = 0;
  if (len_ == 0) {
    if (std::ferror(file_)) EInOutError::raiseFromErrno(errno != 0 ? errno : EIO);
    atEnd_ = true;
  }
}

int TextLineReader::peekByte() {
  if (pos_ >= len_) fill();
  if (pos_ >= len_) return -1;
  const int byte = static_cast<unsigned char>(buffer_[pos_]);
  if (byte == 0x1A) {
    atEnd_ = true;
    len_ = pos_;
    return -1;
  }
  return byte;
}

bool TextLineReader::eof() { return peekByte() < 0; }

std::string TextLineReader::readLine() {
  std::string line;
  for (;;) {
    const int byte = peekByte();
    if (byte < 0) return line;
    ++pos_;
    if (byte == '\r') {
      if (peekByte() == '\n') ++pos_;
      return line;
    }
    if (line.size() < kMaxLineLength) line += static_cast<char>(byte);
  }
}

std::string readWholeFile(const std::string& path) {
  if (path.empty()) throw EInOutError(2);
  const UniqueFd fd(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) EInOutError::raiseFromErrno(errno);
  std::string bytes;
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      EInOutError::raiseFromErrno(errno);
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::string readRegularFile(const std::string& path, std::size_t limit, bool noFollow) {
  if (path.empty()) throw EInOutError(2);
  const UniqueFd fd(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0)));
  if (!fd) {
    if (errno == ELOOP) throw EInOutError(5);
    EInOutError::raiseFromErrno(errno);
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) throw EInOutError(5);
  if (static_cast<std::uint64_t>(st.st_size) > limit) throw EInOutError(100);
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  // A file that grows while it is read is cut at the size it had: the limit still holds.
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      EInOutError::raiseFromErrno(errno);
    }
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

void writeFileAtomically(const std::string& requestedPath, const std::string& bytes, LinkAtPath linkAtPath) {
  if (requestedPath.empty()) throw EInOutError(2);
  // A symbolic link keeps pointing at the file: the file it leads to is the one replaced, unless
  // the link itself is to be replaced.
  std::string path = requestedPath;
  struct stat link {};
  if (linkAtPath == LinkAtPath::WriteTarget && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) path = resolved;
  }
  // A file the user made read-only is not replaced (the home platform refuses to write it too).
  // What stands at the path is looked at itself when it is to be replaced, link or not.
  const auto look = linkAtPath == LinkAtPath::WriteTarget ? ::stat : ::lstat;
  struct stat existing {};
  if (look(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) && (existing.st_mode & S_IWUSR) == 0)
    throw EInOutError(5);
  std::string tmpl = extractFilePath(path) + "." + extractFileName(path) + ".XXXXXX";
  UniqueFd fd(::mkstemp(tmpl.data()));
  if (!fd) EInOutError::raiseFromErrno(errno);

  auto fail = [&](int err) {
    fd.reset();
    ::unlink(tmpl.c_str());
    EInOutError::raiseFromErrno(err);
  };

  // Keep the old file's permission bits where there is one; otherwise the usual 0666 & ~umask.
  struct stat old {};
  if (look(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::fchmod(fd.get(), old.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.get(), 0666 & ~mask);
  }

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(fd.get()) != 0) fail(errno);
  // The last write error of some file systems comes only with the close.
  if (fd.close() != 0) {
    const int err = errno;
    ::unlink(tmpl.c_str());
    EInOutError::raiseFromErrno(err);
  }
  if (::renameat(AT_FDCWD, tmpl.c_str(), AT_FDCWD, path.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmpl.c_str());
    EInOutError::raiseFromErrno(err);
  }
}

}  // namespace pitkit
