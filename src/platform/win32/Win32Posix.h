#pragma once
// The POSIX calls the core uses, declared for Windows under their POSIX names and made with the
// Win32 W functions (UTF-8 paths turned into UTF-16, long paths given the \\?\ prefix).
//
// Descriptors are the C runtime's own (a CreateFileW handle under _open_osfhandle, always binary),
// so read, write, close, lseek and fdopen keep working. A folder opened with O_DIRECTORY is a
// handle opened with backup semantics and every sharing mode; the calls ending in "at" find the
// folder's full path in a table kept beside the runtime's descriptors.
#include <direct.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <process.h>
#include <signal.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>

static_assert(sizeof(off_t) == 8, "build with -D_FILE_OFFSET_BITS=64");

// ---- Open flags beyond the runtime's (bits it does not use). -----------------------------------
#define O_DIRECTORY 0x00100000
#define O_NOFOLLOW 0x00200000
#define O_NONBLOCK 0x00400000
#define O_NOCTTY 0
#define O_CLOEXEC O_NOINHERIT

#define AT_FDCWD (-100)
#define AT_SYMLINK_NOFOLLOW 0x100
#define AT_REMOVEDIR 0x200
#define AT_EACCESS 0x200
#define AT_NO_AUTOMOUNT 0x800
#define AT_EMPTY_PATH 0x1000

#define F_GETFL 3
#define F_SETFL 4
#define F_DUPFD_CLOEXEC 1030
int fcntl(int fd, int cmd, ...);

#ifndef SEEK_DATA
#define SEEK_DATA 3
#define SEEK_HOLE 4
#endif

// ---- Error numbers the runtime lacks. --------------------------------------------------------
#ifndef ESTALE
#define ESTALE 150
#endif
#ifndef EDQUOT
#define EDQUOT 151
#endif

// ---- Types. ----------------------------------------------------------------------------------
typedef unsigned int uid_t;
typedef unsigned int gid_t;
typedef unsigned int id_t;
typedef uint64_t pitkit_dev_t;
typedef uint64_t pitkit_ino_t;
#define dev_t pitkit_dev_t
#define ino_t pitkit_ino_t
typedef uint64_t nlink_t;
typedef int64_t blkcnt_t;
typedef int64_t blksize_t;

// ---- File status. The runtime's struct stat has a 16-bit inode and no nanoseconds: replaced. ---
#undef stat
#undef fstat
#define stat pitkit_stat
#define fstat pitkit_fstat
#define S_IFLNK 0xA000
#define S_ISLNK(m) (((m)&S_IFMT) == S_IFLNK)
#define S_ISVTX 0
#ifndef S_IRUSR
#define S_IRUSR _S_IREAD
#endif

struct pitkit_stat {
  dev_t st_dev;  // the volume's serial number
  ino_t st_ino;  // the file index on that volume
  mode_t st_mode;
  nlink_t st_nlink;
  uid_t st_uid;
  gid_t st_gid;
  dev_t st_rdev;
  off_t st_size;
  blksize_t st_blksize;
  blkcnt_t st_blocks;
  struct timespec st_atim;
  struct timespec st_mtim;
  struct timespec st_ctim;
};
int pitkit_stat(const char* path, struct pitkit_stat* st);
int pitkit_fstat(int fd, struct pitkit_stat* st);
int lstat(const char* path, struct pitkit_stat* st);
int fstatat(int dirFd, const char* path, struct pitkit_stat* st, int flags);

#define STATX_TYPE 0x1U
#define STATX_MODE 0x2U
#define STATX_NLINK 0x4U
#define STATX_UID 0x8U
#define STATX_GID 0x10U
#define STATX_ATIME 0x20U
#define STATX_MTIME 0x40U
#define STATX_CTIME 0x80U
#define STATX_INO 0x100U
#define STATX_SIZE 0x200U
#define STATX_BLOCKS 0x400U
#define STATX_BASIC_STATS 0x7ffU
#define STATX_BTIME 0x800U
#define STATX_ATTR_IMMUTABLE 0x10ULL
#define STATX_ATTR_APPEND 0x20ULL
#define STATX_ATTR_MOUNT_ROOT 0x2000ULL

struct statx_timestamp {
  int64_t tv_sec;
  uint32_t tv_nsec;
  int32_t reserved;
};
struct statx {
  uint32_t stx_mask;
  uint32_t stx_blksize;
  uint64_t stx_attributes;
  uint32_t stx_nlink;
  uint32_t stx_uid;
  uint32_t stx_gid;
  uint16_t stx_mode;
  uint64_t stx_ino;
  uint64_t stx_size;
  uint64_t stx_blocks;
  uint64_t stx_attributes_mask;
  struct statx_timestamp stx_atime, stx_btime, stx_ctime, stx_mtime;
  uint32_t stx_rdev_major, stx_rdev_minor;
  uint32_t stx_dev_major, stx_dev_minor;  // the volume's serial number, high and low half
};
int statx(int dirFd, const char* path, int flags, unsigned mask, struct statx* sx);

inline dev_t makedev(unsigned major, unsigned minor) { return (dev_t{major} << 32) | minor; }
inline unsigned major(dev_t dev) { return static_cast<unsigned>(dev >> 32); }
inline unsigned minor(dev_t dev) { return static_cast<unsigned>(dev); }

struct statvfs {
  unsigned long f_bsize;
  unsigned long f_frsize;
  uint64_t f_blocks;
  uint64_t f_bfree;
  uint64_t f_bavail;
  uint64_t f_files;
  uint64_t f_ffree;
  uint64_t f_favail;
  unsigned long f_namemax;
};
int statvfs(const char* path, struct statvfs* vfs);

// ---- Opening, reading, writing. ----------------------------------------------------------------
int openat(int dirFd, const char* path, int flags, ...);
ssize_t pread(int fd, void* buf, size_t count, off_t offset);
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset);
int fsync(int fd);
// The runtime's ftruncate64 refuses any length past the disk's free space (the disk says so
// itself): replaced by one that sets the end of file as asked. (Its truncate takes a 32-bit
// length: use ftruncate.)
#undef ftruncate
#define ftruncate pitkit_ftruncate
int pitkit_ftruncate(int fd, off_t length);
int syncfs(int fd);
ssize_t readahead(int fd, off_t offset, size_t count);
ssize_t copy_file_range(int in, off_t* inOff, int out, off_t* outOff, size_t len, unsigned flags);
#undef mkstemp
#define mkstemp pitkit_mkstemp
int pitkit_mkstemp(char* templ);
int mkostemp(char* templ, int flags);
char* realpath(const char* path, char* resolved);
#ifndef NAME_MAX
#define NAME_MAX 255
#endif

// ---- Names in folders. -------------------------------------------------------------------------
int mkdir(const char* path, mode_t mode);
int mkdirat(int dirFd, const char* path, mode_t mode);
int unlinkat(int dirFd, const char* path, int flags);
#undef unlink
#undef rmdir
#define unlink pitkit_unlink
#define rmdir pitkit_rmdir
int pitkit_unlink(const char* path);
int pitkit_rmdir(const char* path);
#define RENAME_NOREPLACE 1U
#define RENAME_EXCHANGE 2U
int renameat(int fromDirFd, const char* from, int toDirFd, const char* to);
int renameat2(int fromDirFd, const char* from, int toDirFd, const char* to, unsigned flags);
int linkat(int fromDirFd, const char* from, int toDirFd, const char* to, int flags);
int symlinkat(const char* target, int dirFd, const char* path);
ssize_t readlinkat(int dirFd, const char* path, char* buf, size_t size);
int faccessat(int dirFd, const char* path, int mode, int flags);
#undef chdir
#undef getcwd
#define chdir pitkit_chdir
#define getcwd pitkit_getcwd
int pitkit_chdir(const char* path);
char* pitkit_getcwd(char* buf, size_t size);
#define _PC_NAME_MAX 3
long pathconf(const char* path, int name);

// ---- Modes, owners, times. ---------------------------------------------------------------------
int fchmod(int fd, mode_t mode);
int fchmodat(int dirFd, const char* path, mode_t mode, int flags);
inline uid_t getuid() { return 0; }
inline uid_t geteuid() { return 0; }
inline int fchown(int, uid_t, gid_t) { return 0; }
inline int fchownat(int, const char*, uid_t, gid_t, int) { return 0; }
#define UTIME_NOW ((1L << 30) - 1L)
#define UTIME_OMIT ((1L << 30) - 2L)
int futimens(int fd, const struct timespec times[2]);
int utimensat(int dirFd, const char* path, const struct timespec times[2], int flags);

// ---- Listing. ----------------------------------------------------------------------------------
// The kernel's listing records (d_ino, d_off, d_reclen, d_type, d_name), filled from
// FindFirstFileExW; returns the bytes filled, 0 at the end.
ssize_t getdents64(int dirFd, void* buffer, size_t size);
#define DT_UNKNOWN 0
#define DT_DIR 4
#define DT_REG 8
#define DT_LNK 10
// The runtime's opendir speaks the ANSI code page: replaced by one over getdents64.
#define DIR pitkit_DIR
#define dirent pitkit_dirent
#define opendir pitkit_opendir
#define readdir pitkit_readdir
#define closedir pitkit_closedir
#define dirfd pitkit_dirfd
struct pitkit_dirent {
  ino_t d_ino;
  unsigned char d_type;
  char d_name[1024];
};
struct pitkit_DIR;
pitkit_DIR* pitkit_opendir(const char* path);
pitkit_dirent* pitkit_readdir(pitkit_DIR* dir);
int pitkit_closedir(pitkit_DIR* dir);
int pitkit_dirfd(pitkit_DIR* dir);

// ---- Locks, flags, extended attributes. --------------------------------------------------------
#define LOCK_SH 1
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
int flock(int fd, int operation);
#define FS_IOC_GETFLAGS 0x80086601UL
#define FS_IMMUTABLE_FL 0x10
#define FS_APPEND_FL 0x20
int ioctl(int fd, unsigned long request, ...);
ssize_t flistxattr(int fd, char* list, size_t size);
ssize_t fgetxattr(int fd, const char* name, void* value, size_t size);
int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags);

// ---- Processes and resources. ------------------------------------------------------------------
int kill(int pid, int sig);
int gettid();
#define PRIO_PROCESS 0
int getpriority(int which, id_t who);
int setpriority(int which, id_t who, int value);
#define RLIMIT_NOFILE 7
typedef uint64_t rlim_t;
struct rlimit {
  rlim_t rlim_cur;
  rlim_t rlim_max;
};
int getrlimit(int resource, struct rlimit* limit);
int setrlimit(int resource, const struct rlimit* limit);
#define RUSAGE_SELF 0
struct rusage {
  long ru_inblock;
  long ru_oublock;
};
int getrusage(int who, struct rusage* usage);
// A signal Windows never sends: signal() refuses it, which is all the same there.
#ifndef SIGXFSZ
#define SIGXFSZ 25
#endif
struct tm* localtime_r(const time_t* t, struct tm* out);
void* memmem(const void* haystack, size_t haystackLen, const void* needle, size_t needleLen);

// ---- Libraries. --------------------------------------------------------------------------------
#define RTLD_LAZY 1
#define RTLD_NOW 2
#define RTLD_LOCAL 0
#define RTLD_GLOBAL 0x100
void* dlopen(const char* file, int mode);
void* dlsym(void* handle, const char* name);
int dlclose(void* handle);
char* dlerror();

// ---- Character sets: the code pages behind the encodings' names. ------------------------------
typedef struct pitkit_iconv* iconv_t;
iconv_t iconv_open(const char* to, const char* from);
size_t iconv(iconv_t cd, char** in, size_t* inLeft, char** out, size_t* outLeft);
int iconv_close(iconv_t cd);

// ---- Per-thread locales: only the C locale in UTF-8, which is what Windows already gives the
// C library calls made here (names are converted by code page, never by the locale). ----------
typedef struct pitkit_locale* locale_t;
#define LC_ALL_MASK 0x7f
#define LC_GLOBAL_LOCALE (reinterpret_cast<locale_t>(-1L))
locale_t newlocale(int mask, const char* name, locale_t base);
locale_t uselocale(locale_t locale);
void freelocale(locale_t locale);
