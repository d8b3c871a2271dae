#include "platform/Mask.h"

namespace pitkit {
namespace {

char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Iterative wildcard match with one backtracking point for the last '*': linear in practice.
bool wildcardMatch(const std::string& name, const std::string& mask) {
  std::size_t n = 0, m = 0, starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

bool matchesMask(const std::string& name, const std::string& mask) {
  if (wildcardMatch(name, mask)) return true;
  // "x.*" also matches "x": the extension part of a mask may match an empty extension.
  if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
      name.find('.') == std::string::npos)
    return wildcardMatch(name, mask.substr(0, mask.size() - 2));
  return false;
}

}  // namespace pitkit
