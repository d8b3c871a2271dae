// The small services of the operating system behind the platform layer: a file's size, the user
// a local socket's other end runs as, the font library's early start.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "platform/HostSystem.h"
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
  EXPECT_EQ(localUserId(), std::to_string(::geteuid()));
  int ends[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  EXPECT_TRUE(localPeerIsThisUser(ends[0]));
  ::close(ends[0]);
  ::close(ends[1]);
  EXPECT_FALSE(localPeerIsThisUser(ends[0]));  // closed
  EXPECT_FALSE(localPeerIsThisUser(-1));
  // A pipe is no socket: no peer to ask.
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  EXPECT_FALSE(localPeerIsThisUser(pipeEnds[0]));
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
}

}  // namespace
}  // namespace pitkit
