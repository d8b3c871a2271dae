#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/JpegDecoder.h"
#include "platform/TextFile.h"
#include "platform/UniqueFd.h"
#include "support/DeepTree.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

bool isOpen(int fd) { return test::descriptorIsOpen(fd); }

int openDevNull() { return ::open(test::nullDevice(), O_RDONLY | O_CLOEXEC); }

TEST(UniqueFd, ClosesExactlyOnceWhateverWayItGoes) {
  int raw = openDevNull();
  ASSERT_GE(raw, 0);
  { const UniqueFd fd(raw); EXPECT_TRUE(fd.valid()); EXPECT_EQ(fd.get(), raw); }
  EXPECT_FALSE(isOpen(raw)) << "not closed on destruction";

  // A move hands the descriptor over: the source holds none and closes nothing.
  UniqueFd first(openDevNull());
  raw = first.get();
  UniqueFd second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(first.get(), -1);
  EXPECT_EQ(second.get(), raw);
  UniqueFd third(openDevNull());
  const int replaced = third.get();
  third = std::move(second);
  EXPECT_FALSE(isOpen(replaced)) << "move assignment did not close the descriptor it replaced";
  EXPECT_EQ(third.get(), raw);
  EXPECT_TRUE(isOpen(raw));

  // release gives it up unclosed; reset closes the old one and takes the new.
  const int released = third.release();
  EXPECT_FALSE(third.valid());
  EXPECT_TRUE(isOpen(released));
  third.reset(released);
  const int next = openDevNull();
  third.reset(next);
  EXPECT_FALSE(isOpen(released));
  EXPECT_TRUE(isOpen(next));

  // close reports its result and leaves nothing to close again.
  EXPECT_EQ(third.close(), 0);
  EXPECT_FALSE(isOpen(next));
  EXPECT_FALSE(third.valid());
  errno = 0;
  EXPECT_EQ(third.close(), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST(UniqueFd, NoDescriptorIsLeftOpenByTheFileReadersOnTheirErrorPaths) {
  test::TempDir dir;
  test::makeDirs(dir / "folder");
  test::writeFile(dir / "notajpeg.jpg", "plain text, no picture");
  test::writeFile(dir / "text.txt", "a\rb\r");
  // A socket where a file is expected: it opens, but is no regular file.
  const std::string socketPath = dir / "socket";
  const test::BoundSocket sock(socketPath);
  if (test::kOnLinux) ASSERT_TRUE(sock.made());

  const std::size_t before = test::openDescriptorCount();
  for (int round = 0; round < 3; ++round) {
    EXPECT_THROW(TextLineReader(dir / "folder"), EInOutError);
    if (sock.made()) EXPECT_THROW(TextLineReader reader(socketPath), EInOutError);
    EXPECT_THROW(readWholeFile(dir / "folder"), EInOutError);
    EXPECT_THROW(decodeJpegFile(dir / "notajpeg.jpg"), Exception);
    EXPECT_THROW(decodeJpegFile(dir / "folder"), Exception);
    if (sock.made()) EXPECT_THROW(decodeJpegFile(socketPath), Exception);
    EXPECT_THROW(writeFileAtomically(dir / "missing/file.txt", "x"), EInOutError);
    TextLineReader reader(dir / "text.txt");
    EXPECT_EQ(reader.readLine(), "a");
    EXPECT_EQ(readWholeFile(dir / "text.txt"), "a\rb\r");
  }
  EXPECT_EQ(test::openDescriptorCount(), before);
}

TEST(ListingBuffers, ABufferHandedOutStaysWhileDeeperOnesAreAdded) {
  ListingBuffers buffers;
  std::vector<char>& top = buffers.at(0);
  top.assign(100, 'x');
  for (std::size_t depth = 1; depth < 200; ++depth) buffers.at(depth).assign(depth, 'y');
  EXPECT_EQ(&buffers.at(0), &top);
  EXPECT_EQ(top.size(), 100u);
  EXPECT_EQ(buffers.at(150).size(), 150u);
}

TEST(RenameNoReplaceAt, MovesOntoAFreeNameAndNeverReplacesATakenOne) {
  test::TempDir dir;
  test::writeFile(dir / "a/file.txt", "first");
  test::writeFile(dir / "b/file.txt", "second");
  test::writeFile(dir / "taken.txt", "taken");
  const UniqueFd folder(::openat(AT_FDCWD, dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder.valid());

  EXPECT_EQ(renameNoReplaceAt(folder.get(), "a", folder.get(), "b"), EEXIST);
  EXPECT_EQ(renameNoReplaceAt(AT_FDCWD, dir / "a/file.txt", folder.get(), "taken.txt"), EEXIST);
  EXPECT_EQ(test::readFile(dir / "a/file.txt"), "first");
  EXPECT_EQ(test::readFile(dir / "b/file.txt"), "second");
  EXPECT_EQ(test::readFile(dir / "taken.txt"), "taken");

  EXPECT_EQ(renameNoReplaceAt(folder.get(), "a", AT_FDCWD, dir / "c"), 0);
  EXPECT_EQ(test::readFile(dir / "c/file.txt"), "first");
  EXPECT_FALSE(std::filesystem::exists(dir / "a"));
  EXPECT_EQ(renameNoReplaceAt(folder.get(), "a", folder.get(), "d"), ENOENT);
}

}  // namespace
}  // namespace pitkit
