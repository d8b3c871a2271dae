#pragma once
// The error classes every handler raises; the error box shows what() (with the full-stop rule).
#include <exception>
#include <string>

namespace pitkit {

// Base of the program's own errors: carries only a message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const noexcept { return message_; }

 private:
  std::string message_;
};

// An input/output error of a text file: a code from the table below and its text.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code) : Exception(inOutErrorText(code)), ErrorCode(code) {}
  EInOutError(int code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
  int ErrorCode;

  // 2 "File not found", 3 "Invalid filename", 4 "Too many open files", 5 "File access denied",
  // 100 "Read beyond end of file", 101 "Disk full", 106 "Invalid numeric input", else "I/O error %d".
  static std::string inOutErrorText(int code);
  // Maps an errno value onto the codes above; -1 for a value with no such code.
  static int codeFromErrno(int err);
  // Raises the error for errno: a mapped value with its code's text, any other one as
  // "I/O error <errno>" (so an errno that happens to equal a code, like EIO, is not mistaken for it).
  [[noreturn]] static void raiseFromErrno(int err);
};

// An operating-system error: the system's own text for an errno value (strerror), optionally
// prefixed by what failed.
class EOSError : public Exception {
 public:
  EOSError(int err, const std::string& context);
  int ErrorCode;

 protected:
  // For an error that words its whole message itself (the system's text included where it shows).
  struct Worded {};
  EOSError(int err, std::string message, Worded) : Exception(std::move(message)), ErrorCode(err) {}
};

// The error box's full-stop rule: a full stop is appended when the text's last character sorts
// after "."; texts ending in "!" or "." (or any character before ".") are shown as they are.
std::string withFullStop(const std::string& message);

}  // namespace pitkit
