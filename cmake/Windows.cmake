# The Windows build (cross-compiled with mingw-w64, see HACKING.md "Windows build"): the program
# speaks UTF-16 to Windows, reads and writes files as bytes, and ships as a folder of DLLs.
add_compile_definitions(_FILE_OFFSET_BITS=64 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  _WIN32_WINNT=0x0A00)
# Files opened by the C runtime (fdopen, fopen) are binary, never text with CR LF translation.
find_file(PITKIT_BINMODE_OBJECT binmode.o PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_link_options(${PITKIT_BINMODE_OBJECT})
enable_language(RC)
# The manifest every program gets (linked into each through pitkit_core): UTF-8 as the code page
# of narrow calls, long paths, Windows 10 and later.
set(PITKIT_WINDOWS_MANIFEST_RC ${PROJECT_SOURCE_DIR}/desktop/windows/manifest.rc)
# The Windows libraries the platform layer calls.
set(PITKIT_WINDOWS_LIBRARIES shell32 ole32 uuid advapi32 shlwapi)
# Benchmarks compare against Linux tools; the desktop files and the Debian package are Linux's.
set(PITKIT_BUILD_BENCH OFF CACHE BOOL "" FORCE)
# Every program lands in the build folder, beside the DLLs and Qt plugins copied there: Windows
# finds a program's DLLs beside it, and Qt its plugins.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
