#pragma once
// The operating system's file, process and library calls that the core uses, under their POSIX
// names. Every core file gets them through this header: on Linux these are the system's own; on
// Windows the platform/win32 headers declare the same names, made with the Win32 calls.
#ifdef _WIN32
#include "platform/win32/Win32Posix.h"
#else
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <linux/fs.h>
#include <locale.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif
