// Windows' own places under Wine: the registry's Steam, Steam's list as Steam on Windows writes it,
// the logical drives, the known folders, the path rules with drive letters, the recycle bin (which
// takes the item or leaves it where it was, with a clear error) and the local user. Built by
// places_probe.sh; prints one line per check and PASS when all hold.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/FileSystem.h"
#include "platform/HostSystem.h"
#include "platform/Paths.h"
#include "platform/SteamLibraryList.h"
#include "platform/Trash.h"
#include "platform/win32/KnownPlaces.h"
#include "platform/win32/WideNames.h"

// What the probe needs of the file layer that is not its subject.
namespace pitkit {
EOSError::EOSError(int err, const std::string& context) : Exception(context), ErrorCode(err) {}
std::string getCurrentDir() {
  wchar_t buffer[MAX_PATH];
  return win32::programPath(std::wstring(buffer, ::GetCurrentDirectoryW(MAX_PATH, buffer)));
}
}  // namespace pitkit

using namespace pitkit;

namespace {

int failures = 0;

void check(bool ok, const std::string& what, const std::string& got = {}) {
  std::printf("%s %s%s\n", ok ? "ok  " : "FAIL", what.c_str(), got.empty() ? "" : (": " + got).c_str());
  if (!ok) ++failures;
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(win32::widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void writeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file = ::CreateFileW(win32::widePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::string readFile(const std::string& path) {
  std::ifstream in(win32::widePath(path).c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char** argv) {
  const std::string steamExpected = argc > 1 ? argv[1] : "";
  const std::string work = argc > 2 ? argv[2] : "";

  // The registry's Steam, in the program's form.
  check(win32::steamInstallFolder() == steamExpected, "SteamPath from the registry", win32::steamInstallFolder());

  // Steam's list as Steam on Windows writes it, read from a file with a non-ASCII name.
  const std::string steam = work + "/Stéam";
  ::CreateDirectoryW(win32::widePath(steam).c_str(), nullptr);
  ::CreateDirectoryW(win32::widePath(steam + "/steamapps").c_str(), nullptr);
  writeFile(steam + "/steamapps/libraryfolders.vdf",
            "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"C:\\\\Program Files (x86)\\\\Steam\"\n\t}\n"
            "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"D:\\\\Spiele\\\\Bibliothek\"\n\t\t\"apps\" { \"7\" \"5\" }\n\t}\n}\n");
  const auto libraries = steamLibraryPaths(readFile(steam + "/steamapps/libraryfolders.vdf"));
  check(libraries.size() == 2 && libraries[0] == "C:/Program Files (x86)/Steam" &&
            libraries[1] == "D:/Spiele/Bibliothek",
        "libraryfolders.vdf in the Windows form", libraries.empty() ? "" : libraries.back());

  // The logical drives: C: is a local disk.
  std::string drives;
  bool cFixed = false;
  for (const win32::LogicalDrive& drive : win32::logicalDrives()) {
    drives += driveCaption(drive.root, drive.kind) + " ";
    cFixed = cFixed || (drive.root == "C:/" && drive.kind == DriveKind::Fixed);
  }
  check(cFixed, "logical drives", drives);

  // Known folders.
  const std::string profile = win32::userProfileFolder(), data = userDataHome();
  check(isAbsolutePath(profile), "user profile", profile);
  check(isAbsolutePath(data) && isPathInside(data, profile, LetterCase::IgnoreAscii), "user data folder", data);
  std::string programs;
  for (const std::string& folder : win32::programFilesFolders()) programs += folder + " ";
  check(win32::programFilesFolders().size() == 2, "Program Files folders", programs);

  // Path rules with drive letters.
  check(isPathInside("C:/Games/RC", "C:/") && isPathInside("c:/games", "C:/", LetterCase::IgnoreAscii) &&
            !isPathInside("D:/Games", "C:/"),
        "a drive's root holds its paths");
  check(excludeTrailingDelim("C:/") == "C:/" && excludeTrailingDelim("C:/a//") == "C:/a", "a drive's root keeps its separator");
  check(normalizePathLexically("C:\\Games\\..\\Über\\.\\Bahn\\") == "C:/Über/Bahn", "lexical normalising",
        normalizePathLexically("C:\\Games\\..\\Über\\.\\Bahn\\"));
  check(relativePath("C:/g/levels/", "D:/x/track") == "D:/x/track" && relativePath("C:/g/levels/", "c:/g/levels/t") == "t",
        "relative paths across drives");
  check(expandFileName("C:/x") == "C:/x" && isAbsolutePath(expandFileName("rel")), "expanded names", expandFileName("rel"));

  // Sizes and real paths of non-ASCII names.
  writeFile(steam + "/Größe.bin", std::string(1234, 'x'));
  check(fileSizeOf(steam + "/Größe.bin") == 1234u, "file size of a non-ASCII name");
  const std::string real = win32::resolvedPath(upperAscii(steam));
  check(sameTextAscii(real, steam) && real.ends_with("Stéam"), "resolved path spelt as on disk", real);

  // Long paths take the "\\?\" form and work.
  check(win32::widePath("C:/a/b", true) == L"C:\\a\\b" &&
            win32::widePath("//srv/share/" + std::string(300, 'x')).rfind(L"\\\\?\\UNC\\srv\\share\\", 0) == 0,
        "wide path forms");
  std::string deep = steam;
  for (int i = 0; i < 8; ++i) {
    deep += "/" + std::string(40, static_cast<char>('a' + i)) + "é";
    ::CreateDirectoryW(win32::widePath(deep).c_str(), nullptr);
  }
  writeFile(deep + "/deep.bin", std::string(77, 'x'));
  check(deep.size() > MAX_PATH && fileSizeOf(deep + "/deep.bin") == 77u, "a file below a path longer than MAX_PATH",
        std::to_string(deep.size()));

  check(localUserId().rfind("S-1-", 0) == 0, "local user id", localUserId());

  // The recycle bin: the item goes in and comes back, or stays where it was with a clear error.
  const std::string item = steam + "/Ünlevel";
  ::CreateDirectoryW(win32::widePath(item).c_str(), nullptr);
  writeFile(item + "/track.inf", "inf");
  // Under Wine the bin cannot take it: no trash is offered (the program asks before deleting for
  // good), and a move is refused with the item kept.
  check(trashFolderFor(item).empty(), "no recycle bin offered under Wine", trashFolderFor(item));
  try {
    const TrashedItem trashed = moveToTrash(item);
    check(!exists(item) && (trashed.file.empty() || exists(trashed.file + "/track.inf")), "into the recycle bin",
          trashed.file);
    if (!trashed.file.empty()) {
      check(restoreFromTrash(trashed, item) == 0 && readFile(item + "/track.inf") == "inf", "back from the bin");
    }
  } catch (const ETrashUnavailable& e) {
    check(exists(item + "/track.inf") && readFile(item + "/track.inf") == "inf", "refused, item kept", e.what());
  }
  try {
    moveToTrash(steam + "/missing");
    check(false, "a missing item is refused");
  } catch (const EOSError& e) {
    check(e.ErrorCode == ENOENT, "a missing item is refused", e.what());
  }

  std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
  return failures == 0 ? 0 : 1;
}
