// The small services of the operating system behind the platform layer: a file's size, the user
// a local socket's other end runs as, the font library's early start.
#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <string>

#include "platform/HostSystem.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

TEST(HostSystem, FileSizeIsReadOrNone) {
  test::TempDir dir;
  test::writeFile(dir / "a file", std::string(5000, 'x'));
  EXPECT_EQ(fileSizeOf(dir / "a file"), 5000u);
  EXPECT_EQ(fileSizeOf(dir / "missing"), std::nullopt);
}

TEST(HostSystem, ALocalSocketsPeerIsThisUserOnlyWhenItIs) {
  if (test::kOnLinux) EXPECT_EQ(localUserId(), std::to_string(::geteuid()));
  else EXPECT_EQ(localUserId().rfind("S-1-", 0), 0u) << localUserId();
  std::intptr_t ends[2];
  ASSERT_TRUE(test::makeLocalChannel(ends));
  EXPECT_TRUE(localPeerIsThisUser(ends[0]));
  EXPECT_TRUE(localPeerIsThisUser(ends[1]));
  test::closeLocalChannelEnd(ends[0]);
  test::closeLocalChannelEnd(ends[1]);
  EXPECT_FALSE(localPeerIsThisUser(ends[0]));  // closed
  EXPECT_FALSE(localPeerIsThisUser(-1));
  // A file is no socket: no peer to ask.
  test::TempDir dir;
  test::writeFile(dir / "plain", "x");
  const int file = ::openat(AT_FDCWD, (dir / "plain").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  EXPECT_FALSE(localPeerIsThisUser(test::channelHandleOf(file)));
  ::close(file);
  // Nor is a pipe on Linux (on Windows an anonymous pipe is a named pipe, whose other end is this
  // very process).
  if (test::kOnLinux) {
    int pipeEnds[2];
    ASSERT_TRUE(test::makePipe(pipeEnds));
    EXPECT_FALSE(localPeerIsThisUser(test::channelHandleOf(pipeEnds[0])));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
  }
}

}  // namespace
}  // namespace pitkit
