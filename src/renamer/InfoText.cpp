#include "renamer/InfoText.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/Charset.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"

namespace pitkit {

std::string normalizeLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// Closes a descriptor on every way out.
struct FdCloser {
  int fd;
  ~FdCloser() { ::close(fd); }
};

}  // namespace

std::string loadInfoText(const std::string& path, TextCharset* charset) {
  const Exception cannotOpen("Cannot open file " + path);
  if (path.empty()) throw cannotOpen;
  // Non-blocking, so a pipe standing at the path cannot hang the program; it is refused below.
  const int fd = ::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw cannotOpen;
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) throw cannotOpen;
  if (static_cast<unsigned long long>(st.st_size) > kEditorTextCapacity)
    throw Exception("Text exceeds memo capacity");

  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      EInOutError::raiseFromErrno(errno);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
    // The file may grow while it is read.
    if (bytes.size() > kEditorTextCapacity) throw Exception("Text exceeds memo capacity");
  }
  const TextCharset read = charsetOf(bytes);
  if (charset != nullptr) *charset = read;
  return normalizeLineBreaks(decodeText(bytes, read));
}

void saveInfoText(const std::string& path, const std::string& text, TextCharset charset) {
  if (const std::string outside = firstCharacterOutside(text, charset); !outside.empty())
    throw Exception("Cannot save \"" + outside + "\": the file's character set (" +
                    (charset == TextCharset::Utf8 ? "UTF-8" : "Windows-1252") + ") has no such letter");
  try {
    writeFileAtomically(path, encodeText(text, charset));
  } catch (const std::exception&) {
    throw Exception("Cannot create file " + path);
  }
}

}  // namespace pitkit
