#pragma once
// The places Windows keeps for the user and the programs: known folders, Steam's installation,
// the logical drives (Windows only).
#include <string>
#include <vector>

#include "platform/WindowsPaths.h"

namespace pitkit::win32 {

// The user's profile folder (FOLDERID_Profile, else %USERPROFILE%); "" when there is none.
std::string userProfileFolder();
// The user's local application data folder (FOLDERID_LocalAppData, else %LOCALAPPDATA%).
std::string localAppDataFolder();
// Program Files and Program Files (x86) (FOLDERID_ProgramFiles / FOLDERID_ProgramFilesX86, else
// %ProgramFiles% and %ProgramFiles(x86)%), each existing one once.
std::vector<std::string> programFilesFolders();
// Where Steam is installed: HKCU\Software\Valve\Steam, value SteamPath; "" when it is not set or
// is no absolute path.
std::string steamInstallFolder();

// `path` with links and junctions resolved and the names spelt as on disk (GetFinalPathNameByHandleW);
// "" when it cannot be opened.
std::string resolvedPath(const std::string& path);

struct LogicalDrive {
  std::string root;  // "C:/"
  DriveKind kind;
};
// The drives GetLogicalDriveStringsW lists, with the kind GetDriveTypeW tells of each.
std::vector<LogicalDrive> logicalDrives();

}  // namespace pitkit::win32
