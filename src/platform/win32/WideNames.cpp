#include "platform/win32/WideNames.h"

#include <windows.h>

#include "platform/Paths.h"
#include "platform/WindowsPaths.h"
#include "platform/win32/Win32Path.h"

namespace pitkit::win32 {

// The conversions of the POSIX calls' side, so that both sides agree on every byte.
std::wstring wideText(const std::string& text) { return widen(text); }

std::string utf8Text(const std::wstring& text) { return narrow(text); }

std::wstring widePath(const std::string& path, bool longForm) {
  std::wstring wide = wideText(path);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (!longForm || wide.size() < MAX_PATH || wide.starts_with(L"\\\\?\\")) return wide;
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  if (isAbsolutePath(path)) return L"\\\\?\\" + wide;
  return wide;
}

std::string programPath(const std::wstring& path) { return windowsPathToProgram(utf8Text(path)); }

std::string systemErrorText(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD size = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = size != 0 && buffer != nullptr ? std::wstring(buffer, size) : std::wstring();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
    text.pop_back();
  if (text.empty()) return "error " + std::to_string(code);
  return utf8Text(text);
}

}  // namespace pitkit::win32
