// The system calls the core makes through platform/Posix.h, with the meaning the core relies on.
// The same test runs on Linux, where they are the system's, and on Windows, where they are the
// platform layer's own over the Win32 calls: it is what keeps the two sides alike.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/Posix.h"
#include "platform/UniqueFd.h"
#include "platform/WideUtf8.h"
#include "transfer/PartialCopyName.h"

namespace pitkit {
namespace {

// A fresh folder under the system's temporary folder, removed with its contents at the end: made
// and removed with the calls under test only.
class Scratch {
 public:
  Scratch() {
    std::mt19937_64 engine{std::random_device{}()};
    // UTF-8, as every path the program hands these calls (string() gives the ANSI code page on
    // Windows).
    const std::u8string temp = std::filesystem::temp_directory_path().u8string();
    path_ = std::string(temp.begin(), temp.end()) + "/pitkit-posix-" + std::to_string(engine());
    if (::mkdirat(AT_FDCWD, path_.c_str(), 0700) != 0)
      throw std::runtime_error("cannot make " + path_);
  }
  ~Scratch() { removeTree(AT_FDCWD, path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

  static void removeTree(int dirFd, const std::string& name) {
    {
      std::vector<char> buffer;
      UniqueFd folder(
          ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!folder) return;
      FolderListing listing(folder.get(), buffer, FolderListing::Borrowed{});
      while (const FolderEntry* entry = listing.next()) {
        if (listing.isFolder(entry))
          removeTree(folder.get(), entry->d_name);
        else
          ::unlinkat(folder.get(), entry->d_name, 0);
      }
    }
    ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
  }

 private:
  std::string path_;
};

int createFile(int dirFd, const std::string& name, const std::string& bytes, mode_t mode = 0644) {
  UniqueFd fd(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (!fd) return errno;
  if (::write(fd.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    return errno;
  return fd.close() == 0 ? 0 : errno;
}

std::string contents(int dirFd, const std::string& name) {
  UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_CLOEXEC));
  std::string out;
  char buf[256];
  for (ssize_t n; fd && (n = ::read(fd.get(), buf, sizeof buf)) > 0;)
    out.append(buf, static_cast<std::size_t>(n));
  return out;
}

// The names the listing gives, each with whether it is a folder and its size.
std::map<std::string, std::pair<bool, std::uint64_t>> listed(int dirFd) {
  std::vector<char> buffer;
  FolderListing listing(dirFd, buffer, FolderListing::Borrowed{});
  std::map<std::string, std::pair<bool, std::uint64_t>> out;
  while (const FolderEntry* entry = listing.next()) {
    TWin32FindData data;
    bool isRegular = false;
    EXPECT_TRUE(listing.describe(entry, data, isRegular)) << entry->d_name;
    EXPECT_EQ(isRegular, !listing.isFolder(entry)) << entry->d_name;
    out[entry->d_name] = {listing.isFolder(entry),
                          (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
  }
  return out;
}

TEST(PosixCalls, OpenStatAndListNamesOfEveryAlphabet) {
  Scratch scratch;
  const UniqueFd root(
      ::openat(AT_FDCWD, scratch.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root);
  const std::string names[] = {"plain.txt", "Grüße ñ.txt", "дорога 路.dat", "with space"};
  for (const std::string& name : names)
    ASSERT_EQ(createFile(root.get(), name, name + name), 0) << name;
  ASSERT_EQ(::mkdirat(root.get(), "Ordner é", 0755), 0);
  ASSERT_EQ(createFile(root.get(), "Ordner é/inner", "x"), 0);

  std::map<std::string, std::pair<bool, std::uint64_t>> expected;
  for (const std::string& name : names) expected[name] = {false, 2 * name.size()};
  expected["Ordner é"] = {true, 0};
  EXPECT_EQ(listed(root.get()), expected);
  std::set<std::string> plain;
  for (const DirectoryEntry& e : listDirectory(scratch.path()))
    plain.insert(e.name + (e.isDirectory ? "/" : ""));
  EXPECT_EQ(plain, (std::set<std::string>{"plain.txt", "Grüße ñ.txt", "дорога 路.dat", "with space",
                                          "Ordner é/"}));

  struct stat byName {};
  struct stat byFd {};
  ASSERT_EQ(::fstatat(root.get(), "Grüße ñ.txt", &byName, AT_SYMLINK_NOFOLLOW), 0);
  EXPECT_TRUE(S_ISREG(byName.st_mode));
  EXPECT_EQ(byName.st_size, 2 * static_cast<off_t>(std::strlen("Grüße ñ.txt")));
  EXPECT_TRUE((byName.st_mode & S_IWUSR) != 0);
  const UniqueFd file(::openat(root.get(), "Grüße ñ.txt", O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(file);
  ASSERT_EQ(::fstat(file.get(), &byFd), 0);
  EXPECT_EQ(byFd.st_dev, byName.st_dev);
  EXPECT_EQ(byFd.st_ino, byName.st_ino);
  struct stat other {};
  ASSERT_EQ(::stat((scratch / "plain.txt").c_str(), &other), 0);
  EXPECT_NE(other.st_ino, byName.st_ino);
  EXPECT_EQ(other.st_dev, byName.st_dev);
  ASSERT_EQ(::lstat((scratch / "Ordner é").c_str(), &other), 0);
  EXPECT_TRUE(S_ISDIR(other.st_mode));
  // A path through a folder descriptor and a relative path inside it.
  EXPECT_EQ(contents(root.get(), "Ordner é/inner"), "x");
  EXPECT_TRUE(directoryExists(scratch / "Ordner é"));
  EXPECT_TRUE(fileExists(scratch / "дорога 路.dat"));
  EXPECT_FALSE(fileExists(scratch / "Ordner é"));
}

TEST(PosixCalls, RefusalsGiveThePosixErrors) {
  Scratch scratch;
  const UniqueFd root(
      ::openat(AT_FDCWD, scratch.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root);
  ASSERT_EQ(createFile(root.get(), "file", "data"), 0);
  ASSERT_EQ(::mkdirat(root.get(), "full", 0755), 0);
  ASSERT_EQ(createFile(root.get(), "full/inside", ""), 0);
  struct Case {
    const char* what;
    int (*call)(int dirFd);
    int error;
  };
  const Case cases[] = {
      {"a file opened as a folder",
       [](int d) { return ::openat(d, "file", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }, ENOTDIR},
      {"an exclusive create of a taken name",
       [](int d) { return ::openat(d, "file", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644); },
       EEXIST},
      {"a missing name", [](int d) { return ::openat(d, "missing", O_RDONLY | O_CLOEXEC); },
       ENOENT},
      {"a name below a missing folder",
       [](int d) { return ::openat(d, "missing/x", O_RDONLY | O_CLOEXEC); }, ENOENT},
      {"a folder that is not empty", [](int d) { return ::unlinkat(d, "full", AT_REMOVEDIR); },
       ENOTEMPTY},
      {"a folder unlinked as a file", [](int d) { return ::unlinkat(d, "full", 0); }, EISDIR},
      {"a taken folder name", [](int d) { return ::mkdirat(d, "full", 0755); }, EEXIST},
      {"an empty name", [](int d) { return ::openat(d, "", O_RDONLY | O_CLOEXEC); }, ENOENT},
      {"a missing name's status",
       [](int d) {
         struct stat st {};
         return ::fstatat(d, "missing", &st, AT_SYMLINK_NOFOLLOW);
       },
       ENOENT},
  };
  for (const Case& c : cases) {
    errno = 0;
    const int result = c.call(root.get());
    if (result >= 0) ::close(result);
    EXPECT_EQ(result, -1) << c.what;
    EXPECT_EQ(errno, c.error) << c.what;
  }
  // Nothing was changed by the refusals.
  EXPECT_EQ(contents(root.get(), "file"), "data");
  EXPECT_EQ(contents(root.get(), "full/inside"), "");
}

TEST(PosixCalls, RenamesNeverReplaceAndReadOnlyFilesAreDeleted) {
  Scratch scratch;
  const UniqueFd root(
      ::openat(AT_FDCWD, scratch.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root);
  ASSERT_EQ(createFile(root.get(), "a", "first"), 0);
  ASSERT_EQ(createFile(root.get(), "b", "second"), 0);
  EXPECT_EQ(renameNoReplaceAt(root.get(), "a", root.get(), "b"), EEXIST);
  EXPECT_EQ(contents(root.get(), "a"), "first");
  EXPECT_EQ(contents(root.get(), "b"), "second");
  ASSERT_EQ(renameNoReplaceAt(root.get(), "a", root.get(), "ç moved"), 0);
  EXPECT_EQ(contents(root.get(), "ç moved"), "first");
  EXPECT_FALSE(fileExists(scratch / "a"));
  EXPECT_FALSE(moveFileNoReplace(scratch / "ç moved", scratch / "b"));
  // The exchange is done whole or refused as by a file system without it, never half done.
  const int exchanged = renameExchangeAt(root.get(), "ç moved", root.get(), "b");
  if (exchanged == 0) {
    EXPECT_EQ(contents(root.get(), "b"), "first");
  } else {
    EXPECT_TRUE(exchanged == EINVAL || exchanged == ENOSYS) << exchanged;
    EXPECT_EQ(contents(root.get(), "b"), "second");
  }

  ASSERT_EQ(createFile(root.get(), "read-only", "kept?", 0444), 0);
  struct stat st {};
  ASSERT_EQ(::fstatat(root.get(), "read-only", &st, 0), 0);
  EXPECT_TRUE((st.st_mode & S_IWUSR) == 0);
  EXPECT_EQ(::unlinkat(root.get(), "read-only", 0), 0);
  EXPECT_FALSE(fileExists(scratch / "read-only"));
  // fchmod takes the write permission away and gives it back.
  {
    const UniqueFd fd(::openat(root.get(), "b", O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::fchmod(fd.get(), 0444), 0);
    ASSERT_EQ(::fstatat(root.get(), "b", &st, 0), 0);
    EXPECT_TRUE((st.st_mode & S_IWUSR) == 0);
    ASSERT_EQ(::fchmod(fd.get(), 0644), 0);
    ASSERT_EQ(::fstatat(root.get(), "b", &st, 0), 0);
    EXPECT_TRUE((st.st_mode & S_IWUSR) != 0);
  }
  ASSERT_EQ(::mkdirat(root.get(), "empty", 0755), 0);
  EXPECT_EQ(::unlinkat(root.get(), "empty", AT_REMOVEDIR), 0);
  EXPECT_FALSE(directoryExists(scratch / "empty"));
}

// The folder lists make the folder they show the working folder: it, and a folder holding it,
// must still be renamed (the working folder follows) and removed, as POSIX allows.
TEST(PosixCalls, TheWorkingFolderFollowsARenameAndLeavesARemovedFolder) {
  Scratch scratch;
  const std::string before = getCurrentDir();
  ASSERT_EQ(::mkdirat(AT_FDCWD, (scratch / "level").c_str(), 0755), 0);
  ASSERT_EQ(::mkdirat(AT_FDCWD, (scratch / "level/sub").c_str(), 0755), 0);
  ASSERT_TRUE(setCurrentDir(scratch / "level/sub"));
  EXPECT_EQ(renameNoReplaceAt(AT_FDCWD, scratch / "level", AT_FDCWD, scratch / "renamed"), 0);
  char* real = ::realpath((scratch / "renamed/sub").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(getCurrentDir(), std::string(real));
  std::free(real);
  ASSERT_TRUE(setCurrentDir(scratch / "renamed"));
  EXPECT_EQ(::unlinkat(AT_FDCWD, (scratch / "renamed/sub").c_str(), AT_REMOVEDIR), 0);
  EXPECT_EQ(::unlinkat(AT_FDCWD, (scratch / "renamed").c_str(), AT_REMOVEDIR), 0);
  EXPECT_EQ(::faccessat(AT_FDCWD, (scratch / "renamed").c_str(), F_OK, 0), -1);
  setCurrentDir(before);
}

TEST(PosixCalls, AFolderLockIsHeldUntilItsDescriptorCloses) {
  Scratch scratch;
  const UniqueFd root(
      ::openat(AT_FDCWD, scratch.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_EQ(::mkdirat(root.get(), "copy", 0755), 0);
  UniqueFd first, second;
  const int locked = lockPartialCopy(root.get(), "copy", first);
  if (locked == ENOLCK) GTEST_SKIP() << "this file system keeps no locks";
  ASSERT_EQ(locked, 0);
  EXPECT_EQ(lockPartialCopy(root.get(), "copy", second), EWOULDBLOCK);
  EXPECT_FALSE(second);
  first.reset();
  EXPECT_EQ(lockPartialCopy(root.get(), "copy", second), 0);
  EXPECT_EQ(lockPartialCopy(root.get(), "missing", first), ENOENT);
  EXPECT_EQ(::kill(::getpid(), 0), 0);
}

TEST(PosixCalls, AFolderDescriptorOutlivesItsCopyAndResolvedPathsMeetIt) {
  Scratch scratch;
  ASSERT_EQ(::mkdirat(AT_FDCWD, (scratch / "folder").c_str(), 0755), 0);
  UniqueFd folder(
      ::openat(AT_FDCWD, (scratch / "folder").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder);
  ASSERT_EQ(createFile(folder.get(), "made", "in place"), 0);
  const UniqueFd copy(::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0));
  ASSERT_TRUE(copy);
  folder.reset();
  EXPECT_EQ(listed(copy.get()),
            (std::map<std::string, std::pair<bool, std::uint64_t>>{{"made", {false, 8}}}));
  // The same file by a resolved path: the same file index.
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath((scratch / "folder/../folder/./made").c_str(), resolved), nullptr);
  struct stat byPath {};
  struct stat byName {};
  ASSERT_EQ(::stat(resolved, &byPath), 0);
  ASSERT_EQ(::fstatat(copy.get(), "made", &byName, 0), 0);
  EXPECT_EQ(byPath.st_ino, byName.st_ino);
}

TEST(PosixCalls, NamesAreFoundFromTheRootFolder) {
  Scratch scratch;
  // "/" on Linux, "C:\\" on Windows, and the rest of the path below it.
  const std::size_t cut = scratch.path().find_first_of("/\\") + 1;
  const std::string root = scratch.path().substr(0, cut), rest = scratch.path().substr(cut);
  const UniqueFd rootFd(::openat(AT_FDCWD, root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(rootFd) << root;
  struct stat fromRoot {};
  struct stat direct {};
  ASSERT_EQ(::fstatat(rootFd.get(), rest.c_str(), &fromRoot, 0), 0) << rest;
  ASSERT_EQ(::stat(scratch.path().c_str(), &direct), 0);
  EXPECT_EQ(fromRoot.st_ino, direct.st_ino);
  // ".." never leads above the root.
  ASSERT_EQ(::fstatat(rootFd.get(), ("../" + rest).c_str(), &fromRoot, 0), 0);
  EXPECT_EQ(fromRoot.st_ino, direct.st_ino);
}

TEST(PosixCalls, PathsLongerThanTheOldLimitWork) {
  Scratch scratch;
  std::string path = scratch.path();
  const std::string part(60, 'n');
  for (int depth = 0; path.size() <= 400; ++depth) {
    path += "/" + part + std::to_string(depth);
    ASSERT_EQ(::mkdirat(AT_FDCWD, path.c_str(), 0755), 0) << path.size();
  }
  const std::string file = path + "/lång.txt";
  ASSERT_EQ(createFile(AT_FDCWD, file, "deep"), 0);
  EXPECT_TRUE(fileExists(file));
  EXPECT_EQ(contents(AT_FDCWD, file), "deep");
  const UniqueFd deep(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(deep);
  EXPECT_EQ(listed(deep.get()),
            (std::map<std::string, std::pair<bool, std::uint64_t>>{{"lång.txt", {false, 4}}}));
  EXPECT_EQ(renameNoReplaceAt(deep.get(), "lång.txt", deep.get(), "renamed"), 0);
  EXPECT_EQ(::unlinkat(deep.get(), "renamed", 0), 0);
}

TEST(PosixCalls, PositionedReadsAndWritesLeaveThePositionAlone) {
  Scratch scratch;
  const UniqueFd fd(
      ::openat(AT_FDCWD, (scratch / "f").c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  ASSERT_TRUE(fd);
  ASSERT_EQ(::write(fd.get(), "abcdef", 6), 6);
  ASSERT_EQ(::lseek(fd.get(), 1, SEEK_SET), 1);
  char buf[8] = {};
  ASSERT_EQ(::pread(fd.get(), buf, 2, 3), 2);
  EXPECT_EQ(std::string(buf, 2), "de");
  ASSERT_EQ(::pwrite(fd.get(), "XY", 2, 4), 2);
  ASSERT_EQ(::read(fd.get(), buf, 8), 5);
  EXPECT_EQ(std::string(buf, 5), "bcdXY");
  EXPECT_EQ(::pread(fd.get(), buf, 4, 100), 0);
  EXPECT_EQ(::fsync(fd.get()), 0);
  ASSERT_EQ(::ftruncate(fd.get(), 2), 0);
  struct stat st {};
  ASSERT_EQ(::fstat(fd.get(), &st), 0);
  EXPECT_EQ(st.st_size, 2);
}

TEST(PosixCalls, CodePage437NamesBecomeUtf8) {
  const iconv_t cd = ::iconv_open("UTF-8", "CP437");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string raw = "\x81\x62\x65r \x9b";  // "über ¢"
  std::string out(32, '\0');
  char* in = raw.data();
  char* o = out.data();
  std::size_t inLeft = raw.size(), outLeft = out.size();
  EXPECT_EQ(::iconv(cd, &in, &inLeft, &o, &outLeft), 0u);
  ::iconv_close(cd);
  out.resize(out.size() - outLeft);
  EXPECT_EQ(out, "über ¢");
  EXPECT_EQ(inLeft, 0u);
}

// The system libraries' wide names and UTF-8, both ways: whatever wchar_t's width, a character past
// the 16-bit range survives, and malformed input becomes U+FFFD, never a separator or NUL.
TEST(WideUtf8, NamesSurviveBothWaysAndMalformedInputIsReplaced) {
  const std::string names[] = {"plain", "Grüße", "дорога 路", "emoji \xF0\x9F\x9A\x97 car", ""};
  for (const std::string& name : names)
    EXPECT_EQ(wideToUtf8(utf8ToWide(name).c_str()), name) << name;
  EXPECT_EQ(utf8ToWide("\xF0\x9F\x9A\x97").size(), sizeof(wchar_t) == 2 ? 2u : 1u);
  const struct {
    const char* bytes;
    const char* utf8;
  } malformed[] = {
      {"a\xFF"
       "b",
       "a\xEF\xBF\xBD"
       "b"},                                                     // a byte no UTF-8 has
      {"\xC3", "\xEF\xBF\xBD"},                                  // cut short
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // an overlong '/'
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
  };
  for (const auto& m : malformed)
    EXPECT_EQ(wideToUtf8(utf8ToWide(m.bytes).c_str()), m.utf8) << m.bytes;
}

}  // namespace
}  // namespace pitkit
