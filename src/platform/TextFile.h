#pragma once
// Reading and writing the game's 8-bit text files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pitkit {

// Reads a text file line by line by the text-line rule: a line ends at CR, an LF right after the
// CR belongs to that break, an LF without a CR before it stays inside the line, and the byte 1A
// (or the physical end of the file) ends the text. Open and read failures raise EInOutError.
class TextLineReader {
 public:
  // Lines longer than this are cut there (the rest up to the break is skipped), so a huge binary
  // file without line breaks cannot exhaust memory.
  static constexpr std::size_t kMaxLineLength = 1 << 20;

  static constexpr std::size_t kBufferSize = 65536;
  static constexpr std::uint64_t kWholeFile = UINT64_MAX;

  // `bufferSize` (at least 1) is how much is read from the file at a time. Only the first
  // `textLimit` bytes are read: the text ends there as though the file ended there.
  explicit TextLineReader(const std::string& path, std::size_t bufferSize = kBufferSize,
                          std::uint64_t textLimit = kWholeFile);
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  // True when no text is left (end of file or byte 1A next).
  bool eof();
  // The next line without its break; "" at the end of the text.
  std::string readLine();

 private:
  int peekByte();  // next byte or -1 at the end of the text; read errors raise EInOutError
  void fill();

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  std::uint64_t unread_;  // bytes of the text limit not yet read from the file
  bool atEnd_ = false;
};

// The whole contents of a file as bytes. Raises EInOutError when it cannot be opened or read.
std::string readWholeFile(const std::string& path);

// The contents of the regular file `path`, at most `limit` bytes of it. The file is opened without
// waiting (a pipe or device standing there is refused, never read) and, with `noFollow`, never
// through a symbolic link. Raises EInOutError: 2 when it is missing, 5 when it is no regular file
// or a link, and 100 (read beyond end) when it holds more than `limit` bytes.
std::string readRegularFile(const std::string& path, std::size_t limit, bool noFollow = false);

// What writeFileAtomically does with a symbolic link at the path: replace the file it leads to
// (a user's own link to a file kept elsewhere), or replace the link itself (the program's own
// files, which must never be written through a link).
enum class LinkAtPath { WriteTarget, ReplaceLink };

// Writes `bytes` as the new contents of `path` safely: a temporary file in the same folder is
// written, flushed and renamed over the old file, so a failed write leaves the old file as it was.
// A failure raises EInOutError (the temporary file is removed).
void writeFileAtomically(const std::string& path, const std::string& bytes,
                         LinkAtPath link = LinkAtPath::WriteTarget);

}  // namespace pitkit
