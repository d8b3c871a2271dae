#include "search/ContentMatch.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace pitkit {
namespace {

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

ContentMatcher::ContentMatcher(std::string_view text, bool ignoreCase)
    : text_(text.substr(0, std::min(text.size(), text.find('\0')))), ignoreCase_(ignoreCase) {
  for (int c = 0; c < 256; ++c)
    table_[c] = static_cast<unsigned char>(ignoreCase ? upperAscii(static_cast<char>(c)) : c);
  for (char& c : text_) c = static_cast<char>(table_[static_cast<unsigned char>(c)]);
  // The anchor is the text byte the scan looks for with memchr: one that is not a letter (so it
  // has a single form) and, among those, preferably not a blank, which is common in text files.
  for (std::size_t i = 0; i < text_.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text_[i]);
    if (isLetter(c) && ignoreCase_) continue;
    if (anchor_ == std::string::npos || (text_[anchor_] == ' ' && c != ' ')) anchor_ = i;
  }
}

std::size_t ContentMatcher::find(const char* data, std::size_t len) const {
  const std::size_t L = text_.size();
  if (L == 0) return 0;
  if (len < L) return len;
  const auto* d = reinterpret_cast<const unsigned char*>(data);
  auto equalAt = [&](std::size_t start) {
    for (std::size_t k = 0; k < L; ++k)
      if (table_[d[start + k]] != static_cast<unsigned char>(text_[k])) return false;
    return true;
  };
  const std::size_t lastStart = len - L;
  if (!ignoreCase_) {
    const void* hit = ::memmem(data, len, text_.data(), L);
    return hit == nullptr ? len : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  }
  if (anchor_ != std::string::npos) {
    const unsigned char a = static_cast<unsigned char>(text_[anchor_]);
    std::size_t from = anchor_;
    const std::size_t to = lastStart + anchor_;  // last position the anchor may sit at
    while (from <= to) {
      const void* hit = std::memchr(d + from, a, to - from + 1);
      if (hit == nullptr) break;
      const std::size_t at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d);
      if (equalAt(at - anchor_)) return at - anchor_;
      from = at + 1;
    }
    return len;
  }
  const unsigned char first = static_cast<unsigned char>(text_[0]);
  for (std::size_t s = 0; s <= lastStart; ++s)
    if (table_[d[s]] == first && equalAt(s)) return s;
  return len;
}

bool ContentMatcher::bytesContain(std::string_view data) const {
  return find(data.data(), data.size()) < data.size() || text_.empty();
}

bool ContentMatcher::fileContains(int dirFd, const char* name, std::uint64_t size) {
  if (text_.empty()) return true;
  const UniqueFd file(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file) return false;
  const std::size_t keepMax = text_.size() - 1;
  if (buffer_.size() < kReadSize + keepMax) buffer_.resize(kReadSize + keepMax);
  char* buf = buffer_.data();
  std::size_t keep = 0;
  std::uint64_t pos = 0;
  bool found = false;
  while (pos < size) {
    if (pos != 0 && stop_ && stop_()) break;
    const ssize_t n = ::read(file.get(), buf + keep, kReadSize);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pos += static_cast<std::uint64_t>(n);
    const std::size_t total = keep + static_cast<std::size_t>(n);
    if (find(buf, total) < total) {
      found = true;
      break;
    }
    // Keep the tail that could still begin a match completed by the next read.
    keep = std::min(keepMax, total);
    std::memmove(buf, buf + total - keep, keep);
  }
  return found;
}

}  // namespace pitkit
