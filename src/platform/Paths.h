#pragma once
// Path helpers: the native separator, the game's backslash paths, name parts, and the
// relative-path rule the folder lists and the organizers use.
#include <string>
#include <vector>

namespace pitkit {

// The native folder separator. Sub-paths of the game tree are formed as PathDelim + "levels".
inline constexpr char PathDelim = '/';
inline const std::string PathDelimStr{PathDelim};

// Paths written inside game files ("cars\mycar\car.bmp") always use '\'; this turns one into a
// native path just before a file is opened.
std::string gamePathToNative(const std::string& gamePath);

// Everything up to and including the last separator ("" when there is none).
std::string extractFilePath(const std::string& path);
// The same, but "./" (the working directory) when there is no separator: the folder to open to
// reach the entry `path` names.
std::string parentFolderPath(const std::string& path);
// Everything after the last separator.
std::string extractFileName(const std::string& path);
// The extension of the name part: from its last '.', dot included; "" when the name has no dot.
std::string extractFileExt(const std::string& path);
// The name without its extension (the text before the last '.'; the name itself if it has none).
std::string stripFileExt(const std::string& name);
// `path` with one separator appended unless it already ends in one.
std::string includeTrailingDelim(const std::string& path);
// `path` without its trailing separators, however many; the root "/" (on Windows also a drive's
// root "C:/") stays as it is.
std::string excludeTrailingDelim(std::string path);
// `path` made absolute against the process's working directory (no other normalisation).
std::string expandFileName(const std::string& path);
// Whether `path` is absolute: it begins with the separator; on Windows it begins with a drive and
// a separator ("C:/", "C:\") or with two separators (a UNC path).
bool isAbsolutePath(const std::string& path);
// The root an absolute path begins with: "/"; on Windows a drive's root ("C:/", also for "C:\")
// or the two separators of a UNC path ("//"). "" for a relative path.
std::string pathRoot(const std::string& path);

// The folder names of a path: "/a/b/" and "/a/b" both give {"a", "b"}.
std::vector<std::string> splitFolderNames(const std::string& path);

// ASCII-only case folding, as the file name comparisons of the home platform do: 'a'..'z' become
// 'A'..'Z', every other byte (UTF-8 and Windows-1252 letters included) stays as it is.
constexpr char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string upperAscii(std::string text);
bool sameTextAscii(const std::string& a, const std::string& b);

// `path` with doubled separators, "." and ".." removed, without a trailing separator (lexical only,
// no file system access): "/a//b/./c/" gives "/a/b/c", "/.." gives "/", "a/../../b" gives "../b",
// and a path that names nothing ("", "a/..") gives ".".
std::string normalizePathLexically(const std::string& path);

// How isPathInside compares letters.
enum class LetterCase { Exact, IgnoreAscii };

// True when `path` is the folder `folder` itself or lies anywhere below it. Purely lexical: both are
// first normalised with normalizePathLexically, then whole names are compared, so "/g/levels2" is
// not inside "/g/levels"; every absolute path is inside "/". Meant for absolute paths: relative
// ones are compared as written ("." holds only itself, "a" is not inside "/"). With
// LetterCase::IgnoreAscii the names are compared with upperAscii.
bool isPathInside(const std::string& path, const std::string& folder, LetterCase letterCase = LetterCase::Exact);

// The path of folder `target` relative to folder `base`: the leading folder names the two share
// (ignoring case) are dropped, "../" is written for each remaining name of base's folder part, then
// the remaining names of target's parent, then target's last name. base is taken up to its last
// separator; target is a folder path without a trailing separator (except the root).
// With base /g/levels/: /g/levels/a gives "a", /g/levels/a/b gives "a/b", /g/levels gives "../levels".
std::string relativePath(const std::string& base, const std::string& target);

// The user's data folder: $XDG_DATA_HOME when it is absolute, else ~/.local/share ($HOME, or the
// user's entry in the password database); on Windows the local application data folder (for
// example C:/Users/<name>/AppData/Local). "" when there is none.
std::string userDataHome();

}  // namespace pitkit
