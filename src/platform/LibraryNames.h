#pragma once
// The shared libraries the program loads when first needed: the file names each is looked for
// under, tried in order, and how they give text.

namespace pitkit {

#ifdef _WIN32
// The archive library converts entry names through the C runtime's code page, never to UTF-8:
// names are read and written in UTF-16.
inline constexpr bool kArchiveNamesInUtf16 = true;
// The archive library as its own build names it, and as other builds of it are named.
inline constexpr const char* kArchiveLibraryNames[] = {"libarchive.dll", "libarchive-13.dll",
                                                       "archive.dll"};
#else
// In a UTF-8 locale the archive library's names are UTF-8, or the bytes stored where a zip does
// not say they are UTF-8.
inline constexpr bool kArchiveNamesInUtf16 = false;
inline constexpr const char* kArchiveLibraryNames[] = {"libarchive.so.13"};
#endif

}  // namespace pitkit
