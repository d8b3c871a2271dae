#pragma once
// File system calls of the home platform, done with POSIX calls. Nothing else in the program calls
// the operating system for these.
#include <string>

namespace pitkit {

// True only for an existing folder (links to folders count, as the platform resolves them).
bool directoryExists(const std::string& path);
// True only for an existing regular file, never for a folder.
bool fileExists(const std::string& path);
// Moves (renames) a file or folder; refuses, atomically, when `to` exists. Returns success.
bool moveFileNoReplace(const std::string& from, const std::string& to);
// Renames the entry `from` of the open folder `fromDirFd` to `to` in `toDirFd` (either may be
// AT_FDCWD), never replacing anything: atomically with renameat2's no-replace flag, and on a file
// system without that flag by a test for `to` and then a rename (the best available there).
// Returns 0, or the error number: EEXIST (or ENOTEMPTY) when `to` is taken.
int renameNoReplaceAt(int fromDirFd, const std::string& from, int toDirFd, const std::string& to);
// Exchanges two entries in one step (renameat2's exchange flag). Returns 0, or the error number:
// EINVAL or ENOSYS on a file system without that flag.
int renameExchangeAt(int fromDirFd, const std::string& from, int toDirFd, const std::string& to);
// The renameat2 call behind the two above (flags 0 for the plain rename of the fallback),
// replaceable for tests that need a file system without a flag or a stop between two renames;
// nullptr restores the system's.
using RenameCall = int (*)(int fromDirFd, const char* from, int toDirFd, const char* to, unsigned flags);
void setRenameCall(RenameCall call);
// Deletes one file. Returns success.
bool deleteFile(const std::string& path);
// Creates one folder (no parents). Returns success; errno tells why not.
bool createDirectory(const std::string& path);
// The process's working directory, and changing it. setCurrentDir returns success.
std::string getCurrentDir();
bool setCurrentDir(const std::string& path);

}  // namespace pitkit
