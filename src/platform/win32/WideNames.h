#pragma once
// UTF-8 paths and texts of the program turned into the UTF-16 of the W functions and back
// (Windows only).
#include <string>

namespace pitkit::win32 {

// `text` (UTF-8) as UTF-16; malformed bytes become U+FFFD.
std::wstring wideText(const std::string& text);
// `text` (UTF-16) as UTF-8.
std::string utf8Text(const std::wstring& text);
// A path for the file functions: separators made '\', and an absolute path of MAX_PATH or more
// given the "\\?\" form (UNC paths as "\\?\UNC\server\share"), so that long paths work. The shell's
// functions take no "\\?\" form: `longForm` false leaves it out.
std::wstring widePath(const std::string& path, bool longForm = true);
// A path a W function gave back, in the program's form: without a "\\?\" prefix, separators made
// PathDelim.
std::string programPath(const std::wstring& path);
// The system's text for an error code (GetLastError, an HRESULT), without its line break.
std::string systemErrorText(unsigned long code);

}  // namespace pitkit::win32
