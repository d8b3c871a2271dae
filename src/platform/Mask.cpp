#include "platform/Mask.h"

#include "platform/Paths.h"

namespace pitkit {
namespace {

// Iterative wildcard match with one backtracking point for the last '*': linear in practice.
bool wildcardMatch(std::string_view name, std::string_view mask) {
  std::size_t n = 0, m = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    // A mask '*' is always a wildcard, also where the name itself holds a '*' (a legal name
    // character here); taking it as a literal match first would lose the backtracking point.
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || upperAscii(mask[m]) == upperAscii(name[n]))) {
      ++n;
      ++m;
    } else if (starMask != std::string_view::npos) {
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

bool matchesMask(std::string_view name, std::string_view mask) {
  if (wildcardMatch(name, mask)) return true;
  // "x.*" also matches "x": the extension part of a mask may match an empty extension.
  if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return wildcardMatch(name, mask.substr(0, mask.size() - 2));
  return false;
}

}  // namespace pitkit
