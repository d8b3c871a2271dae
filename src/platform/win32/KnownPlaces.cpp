#include "platform/win32/KnownPlaces.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

#include "platform/Paths.h"
#include "platform/win32/WideNames.h"

namespace pitkit::win32 {

namespace {

// A known folder, else the environment variable `variable`, in the program's form.
std::string knownFolder(REFKNOWNFOLDERID id, const wchar_t* variable) {
  wchar_t* path = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path != nullptr)
    folder = programPath(path);
  ::CoTaskMemFree(path);
  if (!folder.empty()) return folder;
  const wchar_t* value = ::_wgetenv(variable);
  return value != nullptr ? programPath(value) : std::string();
}

}  // namespace

std::string userProfileFolder() { return knownFolder(FOLDERID_Profile, L"USERPROFILE"); }

std::string localAppDataFolder() { return knownFolder(FOLDERID_LocalAppData, L"LOCALAPPDATA"); }

std::vector<std::string> programFilesFolders() {
  std::vector<std::string> folders;
  for (const std::string& folder : {knownFolder(FOLDERID_ProgramFiles, L"ProgramFiles"),
                                    knownFolder(FOLDERID_ProgramFilesX86, L"ProgramFiles(x86)")}) {
    if (folder.empty()) continue;
    // On a 32-bit system both name one folder.
    if (std::none_of(folders.begin(), folders.end(), [&](const std::string& f) { return sameTextAscii(f, folder); }))
      folders.push_back(folder);
  }
  return folders;
}

std::string steamInstallFolder() {
  DWORD bytes = 0;
  const wchar_t* key = L"Software\\Valve\\Steam";
  if (::RegGetValueW(HKEY_CURRENT_USER, key, L"SteamPath", RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS ||
      bytes == 0 || bytes > 64 * 1024)
    return {};
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, key, L"SteamPath", RRF_RT_REG_SZ, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS)
    return {};
  value.resize(std::min<std::size_t>(value.size(), bytes / sizeof(wchar_t)));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  return excludeTrailingDelim(programPath(value));
}

std::string resolvedPath(const std::string& path) {
  // Opened for no access, folders too (backup semantics): enough to ask the handle its name.
  const HANDLE handle = ::CreateFileW(widePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
  if (length >= name.size()) {
    name.resize(length + 1);
    length = ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
  }
  ::CloseHandle(handle);
  if (length == 0 || length >= name.size()) return {};
  name.resize(length);
  return programPath(name);
}

std::vector<LogicalDrive> logicalDrives() {
  wchar_t buffer[26 * 4 + 2] = {};
  const DWORD length = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer)), buffer);
  if (length == 0 || length >= std::size(buffer)) return {};
  std::vector<LogicalDrive> drives;
  const std::u16string_view text(reinterpret_cast<const char16_t*>(buffer), length);
  for (const std::string& root : logicalDriveRoots(text))
    drives.push_back({root, driveKindOf(::GetDriveTypeW(widePath(root).c_str()))});
  return drives;
}

}  // namespace pitkit::win32
