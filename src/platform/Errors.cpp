#include "platform/Errors.h"

#include "platform/Posix.h"

#include <cerrno>
#include <cstring>

namespace pitkit {

std::string EInOutError::inOutErrorText(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
  }
}

int EInOutError::codeFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR: return 2;
    case ENAMETOOLONG:
    case EINVAL:
    case EISDIR: return 3;
    case EMFILE:
    case ENFILE: return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case ENXIO: return 5;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return 101;
    default: return -1;
  }
}

void EInOutError::raiseFromErrno(int err) {
  const int code = codeFromErrno(err);
  if (code >= 0) throw EInOutError(code);
  throw EInOutError(err, "I/O error " + std::to_string(err));
}

EOSError::EOSError(int err, const std::string& context)
    : Exception(context.empty() ? std::string(std::strerror(err))
                                : context + ": " + std::strerror(err)),
      ErrorCode(err) {}

std::string withFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace pitkit
