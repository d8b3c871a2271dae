#include "platform/NameCase.h"

#include "platform/Posix.h"

#include <vector>

#include "platform/DirectoryList.h"
#include "platform/Paths.h"
#ifdef _WIN32
#include "platform/win32/Win32Path.h"
#endif

namespace pitkit {
namespace {

inline unsigned char foldUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

bool isKind(const std::string& path, EntryKind kind) {
  struct stat st {};
  if (kind == EntryKind::Any) return ::lstat(path.c_str(), &st) == 0;
  if (::stat(path.c_str(), &st) != 0) return false;
  return kind == EntryKind::File ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
}

// Whether `path`'s last name is the entry's own, byte for byte. Linux names an entry only exactly;
// Windows finds it in any letter case, so there the entry's own name is asked for.
bool namedExactly(const std::string& path) {
#ifdef _WIN32
  std::wstring wide;
  if (!win32::resolveAt(AT_FDCWD, path.c_str(), wide)) return false;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  const std::size_t slash = path.find_last_of(PathDelim);
  return win32::narrow(data.cFileName) == (slash == std::string::npos ? path : path.substr(slash + 1));
#else
  (void)path;
  return true;
#endif
}

// Whether `path` is an entry of that kind named exactly so, in every part after `from`.
bool isExactly(const std::string& path, EntryKind kind, std::size_t from) {
  if (!isKind(path, kind)) return false;
#ifdef _WIN32
  for (std::size_t end = path.size(); end > from;) {
    const std::string part = path.substr(0, end);
    const std::size_t slash = part.find_last_of(PathDelim);
    const std::string name = part.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!name.empty() && name != "." && name != ".." && !namedExactly(part)) return false;
    if (slash == std::string::npos) break;
    end = slash;
  }
#else
  (void)from;
#endif
  return true;
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
  if (isExactly(asGiven, kind, folder.size())) return asGiven;
  const std::vector<std::string> names = splitFolderNames(relative);
  std::string path = folder;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const EntryKind wanted = i + 1 == names.size() ? kind : EntryKind::Folder;
    std::string next = path + PathDelim + names[i];
    if (names[i] != "." && names[i] != ".." && !isExactly(next, wanted, path.size())) {
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
