#include "platform/NameCase.h"

#include "platform/Posix.h"

#include <vector>

#include "platform/DirectoryList.h"
#include "platform/Paths.h"

namespace pitkit {
namespace {

inline unsigned char foldUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

bool isKind(const std::string& path, EntryKind kind) {
  struct stat st {};
  if (kind == EntryKind::Any) return ::lstat(path.c_str(), &st) == 0;
  if (::stat(path.c_str(), &st) != 0) return false;
  return kind == EntryKind::File ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
}

bool fits(const DirectoryEntry& entry, EntryKind kind) {
  switch (kind) {
    case EntryKind::File:
      return entry.isRegularFile;
    case EntryKind::Folder:
      return entry.isDirectory;
    case EntryKind::Any:
      break;
  }
  return true;
}

// The entry of `folder` named `name` in another letter case, first in byte order; "" for none.
std::string caseVariant(const std::string& folder, const std::string& name, EntryKind kind) {
  std::string best;
  try {
    for (DirectoryEntry& entry : listDirectory(includeTrailingDelim(folder)))
      if (fits(entry, kind) && sameTextAscii(entry.name, name) &&
          (best.empty() || entry.name < best))
        best = std::move(entry.name);
  } catch (const std::exception&) {
    // A folder that cannot be listed holds no other spelling we could use.
  }
  return best;
}

}  // namespace

int compareNames(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  int tie = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x == y) continue;
    const unsigned char fx = foldUpper(x), fy = foldUpper(y);
    if (fx != fy) return fx < fy ? -1 : 1;
    if (tie == 0) tie = x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return tie;
}

std::string findIgnoringCase(const std::string& folder, const std::string& relative,
                             EntryKind kind) {
  const std::string asGiven = folder + PathDelim + relative;
  if (isKind(asGiven, kind)) return asGiven;
  const std::vector<std::string> names = splitFolderNames(relative);
  std::string path = folder;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const EntryKind wanted = i + 1 == names.size() ? kind : EntryKind::Folder;
    std::string next = path + PathDelim + names[i];
    if (names[i] != "." && names[i] != ".." && !isKind(next, wanted)) {
      const std::string found = caseVariant(path + PathDelim, names[i], wanted);
      if (found.empty()) {
        // Nothing fits from here on: the rest as given.
        for (std::size_t k = i + 1; k < names.size(); ++k) next += PathDelim + names[k];
        path = std::move(next);
        break;
      }
      next = path + PathDelim + found;
    }
    path = std::move(next);
  }
  if (!relative.empty() && relative.back() == PathDelim) path += PathDelim;
  return path;
}

std::string takenPath(const std::string& folder, const std::string& relative) {
  const std::string path = findIgnoringCase(folder, relative, EntryKind::Any);
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? path : std::string();
}

}  // namespace pitkit
