// SHA-256 against the standard test vectors, fed in pieces of odd sizes and read from a file, with
// and without the processor's SHA instructions.
#include "platform/Sha256.h"

#include <gtest/gtest.h>
#include "platform/Posix.h"

#include "platform/Errors.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

TEST(Sha256, StandardVectorsInPiecesAndFromFiles) {
  const std::string million(1000000, 'a');
  const struct {
    std::string message;
    std::size_t piece;  // bytes per update
    const char* digest;
  } cases[] = {
      {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", 2, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 5,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
       "opqrsmnopqrstnopqrstu",
       63, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {million, 997, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {million, 65, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  test::TempDir tmp;
  Sha256 sha;
  // With the processor's SHA instructions (where it has them) and with the portable rounds.
  for (const bool processor : {true, false})
  for (const auto& c : cases) {
    setSha256ProcessorInstructions(processor);
    const std::string_view message = c.message;
    for (std::size_t at = 0; at < message.size(); at += c.piece)
      sha.update(message.substr(at, c.piece));
    const std::string label =
        std::string(message.substr(0, 8)) + "... in pieces of " + std::to_string(c.piece);
    EXPECT_EQ(toHex(sha.finish()), c.digest) << label;
    // finish() starts over: the same object gives the digest of the next message alone.
    EXPECT_EQ(sha256Hex(message), c.digest) << label;
    test::writeFile(tmp / "message", c.message);
    EXPECT_EQ(sha256OfFile(tmp / "message"), c.digest) << label;
  }
  setSha256ProcessorInstructions(true);
}

TEST(Sha256, FilesThatAreNoRegularFileAreRefused) {
  test::TempDir tmp;
  test::makeDirs(tmp / "folder");
  // A pipe with no writer: opened without waiting, never read.
  const bool fifo = test::makeFifo(tmp / "pipe", 0600);
  if (test::kOnLinux) ASSERT_TRUE(fifo);
  const struct {
    std::string path;
    int code;
  } cases[] = {{tmp / "missing", 2}, {tmp / "folder", 5}, {tmp / "pipe", 5}, {"", 2}};
  for (const auto& c : cases) {
    if (c.path == tmp / "pipe" && !fifo) continue;  // no FIFOs on Windows
    try {
      sha256OfFile(c.path);
      ADD_FAILURE() << c.path << " was read";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode, c.code) << c.path;
    }
  }
}

}  // namespace
}  // namespace pitkit
