/* search_limit: the single-threaded floor of a marker search. Lists folders depth first with
 * getdents64 (no sorting, no stat) and reads each *.inf file until the marker, case ignored, then
 * prints the number of files holding it. bench/search_cold.sh times the search component
 * against it. Usage: search_limit FOLDER [MARKER] */
#define _GNU_SOURCE
#include <ctype.h>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>

struct dirent64_rec {
  unsigned long long d_ino;
  long long d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

static char marker[256];
static size_t markerLen;
static long found;

static int hasInfSuffix(const char* name) {
  size_t n = strlen(name);
  return n >= 4 && name[n - 4] == '.' && toupper((unsigned char)name[n - 3]) == 'I' &&
         toupper((unsigned char)name[n - 2]) == 'N' && toupper((unsigned char)name[n - 1]) == 'F';
}

/* True when the file holds the marker; reads 64 KiB at a time and stops at the first match. */
static int fileHasMarker(int dirFd, const char* name) {
  static char buf[65536 + 256];
  int fd = openat(dirFd, name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t keep = 0;
  int hit = 0;
  for (;;) {
    ssize_t n = read(fd, buf + keep, 65536);
    if (n <= 0) break;
    size_t total = keep + (size_t)n;
    for (size_t i = 0; i + markerLen <= total && !hit; ++i) {
      if (toupper((unsigned char)buf[i]) != marker[0]) continue;
      size_t k = 1;
      while (k < markerLen && toupper((unsigned char)buf[i + k]) == marker[k]) ++k;
      hit = k == markerLen;
    }
    if (hit) break;
    keep = total < markerLen - 1 ? total : markerLen - 1;
    memmove(buf, buf + total - keep, keep);
  }
  close(fd);
  return hit;
}

static void walk(int dirFd) {
  size_t cap = 32768, size = 0;
  char* list = malloc(cap);
  for (;;) {
    if (cap - size < 4096) list = realloc(list, cap *= 2);
    long n = syscall(SYS_getdents64, dirFd, list + size, cap - size);
    if (n <= 0) break;
    size += (size_t)n;
  }
  for (size_t pos = 0; pos < size;) {
    struct dirent64_rec* d = (struct dirent64_rec*)(list + pos);
    pos += d->d_reclen;
    if (d->d_name[0] == '.') continue;
    if (d->d_type == DT_DIR) {
      int sub = openat(dirFd, d->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        walk(sub);
        close(sub);
      }
    } else if (d->d_type == DT_REG && hasInfSuffix(d->d_name) && fileHasMarker(dirFd, d->d_name)) {
      ++found;
    }
  }
  free(list);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: search_limit FOLDER [MARKER]\n");
    return 2;
  }
  const char* m = argc > 2 ? argv[2] : "Torvane .INF file structure";
  markerLen = strlen(m);
  if (markerLen == 0 || markerLen >= sizeof marker) return 2;
  for (size_t i = 0; i < markerLen; ++i) marker[i] = (char)toupper((unsigned char)m[i]);
  int fd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  walk(fd);
  close(fd);
  printf("%ld\n", found);
  return 0;
}
