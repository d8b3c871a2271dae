#pragma once
// The content test of a search: a byte text looked for in files, read in blocks.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pitkit {

// Looks for a byte text in files. Letters a to z fold onto A to Z when case is ignored, nothing
// else; a NUL byte in a file never matches. The text is found wherever it lies, also across the
// boundary of two reads, and reading stops at the first match. One buffer serves every file.
class ContentMatcher {
 public:
  ContentMatcher(std::string_view text, bool ignoreCase);

  // True when the file `name` in the folder open as `dirFd` holds the text. `size` is the file's
  // size; reading stops there. A file that cannot be opened gives false; a read error ends the
  // file with the answer found so far.
  bool fileContains(int dirFd, const char* name, std::uint64_t size);
  // True when `data` holds the text (the same comparison, for a block in memory).
  bool bytesContain(std::string_view data) const;
  // Asked between reads of a long file: true gives up the file (a run being stopped).
  void setStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }

  static constexpr std::size_t kReadSize = 64 * 1024;

 private:
  // Position of the first match in [data, data + len), or len when there is none.
  std::size_t find(const char* data, std::size_t len) const;

  std::string text_;  // folded when case is ignored
  bool ignoreCase_;
  unsigned char table_[256];  // byte -> comparison form
  std::size_t anchor_ = std::string::npos;
  std::vector<char> buffer_;
  std::function<bool()> stop_;
};

}  // namespace pitkit
