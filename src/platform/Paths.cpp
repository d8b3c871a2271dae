#include "platform/Paths.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/FileSystem.h"

namespace pitkit {

std::string gamePathToNative(const std::string& gamePath) {
  std::string native = gamePath;
  std::replace(native.begin(), native.end(), '\\', PathDelim);
  return native;
}

std::string extractFilePath(const std::string& path) {
  const auto pos = path.rfind(PathDelim);
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string parentFolderPath(const std::string& path) {
  const std::string parent = extractFilePath(path);
  return parent.empty() ? "." + PathDelimStr : parent;
}

std::string extractFileName(const std::string& path) {
  const auto pos = path.rfind(PathDelim);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string extractFileExt(const std::string& path) {
  const std::string name = extractFileName(path);
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string stripFileExt(const std::string& name) {
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string includeTrailingDelim(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string excludeTrailingDelim(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

std::string expandFileName(const std::string& path) {
  if (!path.empty() && path.front() == PathDelim) return path;
  return includeTrailingDelim(getCurrentDir()) + path;
}

std::string upperAscii(std::string text) {
  for (char& c : text) c = upperAscii(c);
  return text;
}

bool sameTextAscii(const std::string& a, const std::string& b) {
  return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

std::string normalizePathLexically(const std::string& path) {
  // lexically_normal keeps a trailing separator ("a/b/" stays so) and gives "" for "".
  std::string normal = excludeTrailingDelim(std::filesystem::path(path).lexically_normal().native());
  return normal.empty() ? std::string(".") : normal;
}

bool isPathInside(const std::string& path, const std::string& folder, LetterCase letterCase) {
  std::string inner = normalizePathLexically(path);
  std::string outer = normalizePathLexically(folder);
  if (letterCase == LetterCase::IgnoreAscii) {
    inner = upperAscii(std::move(inner));
    outer = upperAscii(std::move(outer));
  }
  if (outer == PathDelimStr) return inner.front() == PathDelim;
  return inner.starts_with(outer) && (inner.size() == outer.size() || inner[outer.size()] == PathDelim);
}

std::vector<std::string> splitFolderNames(const std::string& folderPart) {
  std::vector<std::string> names;
  std::string current;
  for (char c : folderPart) {
    if (c == PathDelim) {
      if (!current.empty()) names.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) names.push_back(current);
  return names;
}

std::string relativePath(const std::string& base, const std::string& target) {
  // Native paths have no drive part, so the "different drives" case of the rule never arises.
  const std::vector<std::string> baseNames = splitFolderNames(extractFilePath(base));
  const std::vector<std::string> targetNames = splitFolderNames(extractFilePath(target));

  std::size_t shared = 0;
  while (shared < baseNames.size() && shared < targetNames.size() &&
         sameTextAscii(baseNames[shared], targetNames[shared]))
    ++shared;

  std::string result;
  for (std::size_t i = shared; i < baseNames.size(); ++i) result += ".." + PathDelimStr;
  for (std::size_t i = shared; i < targetNames.size(); ++i) result += targetNames[i] + PathDelim;
  result += extractFileName(target);
  return result;
}

std::string userDataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == PathDelim) return excludeTrailingDelim(xdg);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != PathDelim) {
    const passwd* user = ::getpwuid(::getuid());
    home = user != nullptr ? user->pw_dir : nullptr;
  }
  return home != nullptr && home[0] == PathDelim ? excludeTrailingDelim(home) + "/.local/share" : std::string();
}

}  // namespace pitkit
