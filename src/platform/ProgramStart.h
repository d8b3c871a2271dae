#pragma once
// What the program's start needs of the system: its arguments as UTF-8, whether a desktop is
// there to show the window on, and the signals it takes over.
#include <string>
#include <vector>

namespace pitkit {

// The command line's arguments after the program's name, in UTF-8 (Windows passes main() the
// arguments in the ANSI code page; the wide command line holds them whole).
std::vector<std::string> programArguments(int argc, char** argv);
// True where the window system is always there (Windows); elsewhere a display must be named.
bool desktopAlwaysThere();
// A write past the file-size limit fails with an error the program reports, instead of ending it
// with a signal (where the system has that signal).
void keepWritesPastSizeLimitFromEndingProgram();

}  // namespace pitkit
