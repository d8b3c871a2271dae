#pragma once
// The path forms of Windows read as pure text, on every system: what the registry, Steam's lists
// and the drive functions give back, turned into the program's form. Kept apart from the calls so
// that the rules can be tested anywhere.
#include <string>
#include <string_view>
#include <vector>

namespace pitkit {

// An absolute Windows path in the program's form: "C:\Games\RC" and "c:/games/rc" give
// "C:/Games/RC" (the drive letter upper case, separators made PathDelim, doubled ones kept as
// they are), "\\server\share\x" gives "//server/share/x", and the "\\?\" and "\\?\UNC\" forms lose
// their prefix. "" for anything else: a relative path, a drive-relative one ("C:x"), a bare
// drive ("C:"), a UNC path without its share, or text holding a NUL or a control character.
std::string windowsPathToProgram(std::string_view path);

// The kinds of drive GetDriveTypeW tells apart.
enum class DriveKind { Unknown, NoRoot, Removable, Fixed, Remote, CdRom, RamDisk };
// The kind for a GetDriveTypeW value (DRIVE_UNKNOWN 0 ... DRIVE_RAMDISK 6).
DriveKind driveKindOf(unsigned type);
// How the drive selector names a drive: "C: (local disk)", "D: (CD or DVD)", ...; `root` is the
// drive's root in the program's form ("C:/").
std::string driveCaption(const std::string& root, DriveKind kind);

// The roots GetLogicalDriveStringsW wrote into `buffer` ("C:\", NUL, "D:\", NUL, NUL), in the
// program's form ("C:/"), in order. Reading stops at the empty string, at the end of the buffer,
// or at an entry that is not a drive root, and no more than 26 are taken.
std::vector<std::string> logicalDriveRoots(std::u16string_view buffer);

}  // namespace pitkit
