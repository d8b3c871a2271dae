#include "search/SearchFilter.h"

#include <cmath>

#include "platform/Paths.h"
#include "search/FindFile.h"

namespace pitkit {
namespace {

double intPart(double x) { return std::trunc(x); }
double fracPart(double x) { return x - std::trunc(x); }

// The name part of the exclusion match: a single left-to-right pass without backtracking.
bool exclusionNameMatches(const std::string& name, const std::string& mask) {
  if (mask.empty()) return true;
  std::size_t i = 0, j = 0;
  for (;;) {
    if (i >= name.size() || j >= mask.size()) {
      while (j < mask.size() && (mask[j] == '*' || mask[j] == '?')) ++j;
      return i >= name.size() && j >= mask.size();
    }
    const char n = name[i], m = mask[j];
    if (n == m || (m == '?' && n != '.')) {
      ++i;
      ++j;
    } else if (n == '.' && m == '?') {
      ++j;
    } else if (n == '.' && m == '*') {
      const auto dot = mask.find('.', j);
      j = dot == std::string::npos ? mask.size() : dot;
    } else if (m == '*') {
      ++i;
    } else {
      return false;
    }
  }
}

}  // namespace

std::uint8_t attributeSetBits(std::uint32_t a) {
  std::uint8_t set = 0;
  if (a & faArchive) set |= 1u << ffArchive;
  if (a & faReadOnly) set |= 1u << ffReadonly;
  if (a & faHidden) set |= 1u << ffHidden;
  if (a & faSysFile) set |= 1u << ffSystem;
  if (a & faDirectory) set |= 1u << ffDirectory;
  return set;
}

bool dateInRange(TDateTime t, TDateTime before, TDateTime after) {
  if (before != 0) {
    if (fracPart(before) == 0) {
      if (intPart(t) > before) return false;
    } else if (intPart(before) == 0) {
      if (fracPart(t) > before) return false;
    } else if (t > before) {
      return false;
    }
  }
  if (after != 0) {
    if (fracPart(after) == 0) {
      if (after > intPart(t)) return false;
    } else if (intPart(after) == 0) {
      if (after > fracPart(t)) return false;
    } else if (t < after) {
      return false;
    }
  }
  return true;
}

bool exclusionMatches(const std::string& path, const std::string& mask) {
  const std::string p = upperAscii(path), m = upperAscii(mask);
  const std::string pFolder = extractFilePath(p), pName = extractFileName(p);
  std::string mFolder = extractFilePath(m);
  const std::string mName = extractFileName(m);
  if (!mFolder.empty()) {
    if (mFolder.size() >= 2 && mFolder[1] == ':') {
      const char drive = mFolder[0];
      if (drive != '*' && drive != '?' && (pFolder.empty() || drive != pFolder[0])) return false;
      mFolder.erase(0, 2);
    }
    const std::size_t pDrive = (pFolder.size() >= 2 && pFolder[1] == ':') ? 2 : 0;
    if (mFolder.size() > pFolder.size() - pDrive) return false;
    if (pFolder.compare(pFolder.size() - mFolder.size(), mFolder.size(), mFolder) != 0) return false;
  }
  return exclusionNameMatches(pName, mName);
}

bool passesFilters(const RunSnapshot& snap, const std::string& folder, const char* name,
                   const TWin32FindData& fd, std::string& scratch) {
  const std::uint8_t set = attributeSetBits(fd.dwFileAttributes);
  if (snap.ExactAttribute ? set != snap.Attributes : (set != 0 && (set & snap.Attributes) == 0))
    return false;

  const bool isDir = (fd.dwFileAttributes & faDirectory) != 0;
  // The bounds against the whole size: a file of 4 GiB or more is not judged by its low 32 bits.
  const std::uint64_t size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  if (!isDir) {
    if (snap.SizeMin != 0 && static_cast<std::int64_t>(size) < snap.SizeMin) return false;
    if (snap.SizeMax != 0 && static_cast<std::int64_t>(size) > snap.SizeMax) return false;
  }

  if ((snap.CreatedBefore != 0 || snap.CreatedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftCreationTime), snap.CreatedBefore, snap.CreatedAfter))
    return false;
  if ((snap.ModifiedBefore != 0 || snap.ModifiedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftLastWriteTime), snap.ModifiedBefore, snap.ModifiedAfter))
    return false;
  if ((snap.AccessedBefore != 0 || snap.AccessedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftLastAccessTime), snap.AccessedBefore, snap.AccessedAfter))
    return false;

  if (!snap.ExcludeFiles.empty()) {
    scratch.assign(folder).append(name);
    for (const std::string& exclusion : snap.ExcludeFiles)
      if (exclusionMatches(scratch, exclusion)) return false;
  }
  return true;
}

}  // namespace pitkit
