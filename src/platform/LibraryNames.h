#pragma once
// The file names under which a shared library the program loads when first needed is looked for,
// tried in order.

namespace pitkit {

#ifdef _WIN32
// The archive library as its own build names it, and as other builds of it are named.
inline constexpr const char* kArchiveLibraryNames[] = {"libarchive.dll", "libarchive-13.dll",
                                                       "archive.dll"};
#else
inline constexpr const char* kArchiveLibraryNames[] = {"libarchive.so.13"};
#endif

}  // namespace pitkit
