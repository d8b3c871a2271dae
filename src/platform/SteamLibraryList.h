#pragma once
// Steam's list of its libraries (steamapps/libraryfolders.vdf), read as pure text.
#include <cstddef>
#include <string>
#include <vector>

namespace pitkit {

// How the paths in a list are written: by Steam on Linux ("/data/steam") or on Windows
// ("C:\\Games\\Steam", escapes undone).
enum class PathForm { Posix, Windows };
#ifdef _WIN32
inline constexpr PathForm kNativePathForm = PathForm::Windows;
#else
inline constexpr PathForm kNativePathForm = PathForm::Posix;
#endif

// The library folders a Steam libraryfolders.vdf text names: the absolute values of the "path"
// keys of its numbered blocks (and, in the older form, of its numbered keys), with the file's
// escapes undone, in the program's form (Windows paths as windowsPathToProgram gives them). The
// text is read strictly (quoted strings, braces, // comments): one that is malformed, nested
// deeper than Steam writes it or larger than kMaxSteamVdfBytes names none.
inline constexpr std::size_t kMaxSteamVdfBytes = 1 << 20;
std::vector<std::string> steamLibraryPaths(const std::string& vdfText, PathForm form = kNativePathForm);

}  // namespace pitkit
