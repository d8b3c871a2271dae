#pragma once
// Opening a file in the user's associated program (the desktop's "Open" action).
#include <functional>
#include <string>

namespace pitkit {

// Opens `fileName` (relative to `workingFolder` unless it is absolute) in the program the desktop
// associates with it. When no program can open it (no desktop opener installed, none for this
// kind of file) the error box names the file: at once when there is no opener (an Exception), or
// when the opener gives up.
void shellOpen(const std::string& fileName, const std::string& workingFolder);

// The error text for a file no program could open.
std::string noProgramCouldOpen(const std::string& fileName, const std::string& workingFolder);

// The file URL shellOpen hands to the desktop: the path made from `fileName` and `workingFolder`,
// percent-encoded byte by byte.
std::string shellOpenUrl(const std::string& fileName, const std::string& workingFolder);

// Replaces the real opening, for tests: the hook receives the arguments of shellOpen instead.
// An empty hook restores the real opening.
using ShellOpenHook = std::function<void(const std::string& fileName, const std::string& workingFolder)>;
void setShellOpenHook(ShellOpenHook hook);

}  // namespace pitkit
