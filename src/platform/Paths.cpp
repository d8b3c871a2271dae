#include "platform/Paths.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/FileSystem.h"
#ifdef _WIN32
#include "platform/win32/KnownPlaces.h"
#include "platform/win32/WideNames.h"
#endif

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
#ifdef _WIN32
  // A drive's root keeps its separator: "C:" alone names the drive's current folder.
  const std::size_t keep = path.size() >= 3 && path[1] == ':' ? 3 : 1;
#else
  const std::size_t keep = 1;
#endif
  while (path.size() > keep && path.back() == PathDelim) path.pop_back();
  return path;
}

bool isAbsolutePath(const std::string& path) {
#ifdef _WIN32
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return true;
  return path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
         path[1] == ':' && separator(path[2]);
#else
  return !path.empty() && path.front() == PathDelim;
#endif
}

std::string pathRoot(const std::string& path) {
  if (!isAbsolutePath(path)) return {};
#ifdef _WIN32
  if (path[1] == ':') return path.substr(0, 2) + PathDelim;
  return std::string(2, PathDelim);
#else
  return PathDelimStr;
#endif
}

std::string expandFileName(const std::string& path) {
  if (isAbsolutePath(path)) return path;
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
#ifdef _WIN32
  // The library's paths are UTF-16 there: the text goes in and comes out as UTF-8, and both
  // separators come out as PathDelim.
  const std::u8string text = std::filesystem::path(std::u8string(path.begin(), path.end())).lexically_normal().generic_u8string();
  std::string normal(text.begin(), text.end());
  std::replace(normal.begin(), normal.end(), '/', PathDelim);
  normal = excludeTrailingDelim(std::move(normal));
#else
  std::string normal = excludeTrailingDelim(std::filesystem::path(path).lexically_normal().native());
#endif
  return normal.empty() ? std::string(".") : normal;
}

bool isPathInside(const std::string& path, const std::string& folder, LetterCase letterCase) {
  std::string inner = normalizePathLexically(path);
  std::string outer = normalizePathLexically(folder);
  if (letterCase == LetterCase::IgnoreAscii) {
    inner = upperAscii(std::move(inner));
    outer = upperAscii(std::move(outer));
  }
  // A root ("/", on Windows also "C:/") holds every path that begins with it.
  if (outer.back() == PathDelim) return inner.starts_with(outer) || inner + PathDelim == outer;
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
#ifdef _WIN32
  // On different drives (letter case ignored) the target stays as it is.
  const auto drive = [](const std::string& path) { return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string(); };
  if (!sameTextAscii(drive(base), drive(target))) return target;
#endif
  // Native paths on Linux have no drive part, so the "different drives" case of the rule never
  // arises there.
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

#ifdef _WIN32
std::string userDataHome() {
  // $XDG_DATA_HOME still counts when it names a folder (tests give each run one of its own).
  const wchar_t* xdg = ::_wgetenv(L"XDG_DATA_HOME");
  const std::string data = xdg != nullptr ? win32::programPath(xdg) : std::string();
  return excludeTrailingDelim(!data.empty() ? data : win32::localAppDataFolder());
}
#else
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

#endif

}  // namespace pitkit
