#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <filesystem>
#include <vector>

#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "support/ChildProcess.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

std::vector<std::string> readAllLines(const std::string& path, std::size_t bufferSize = TextLineReader::kBufferSize) {
  TextLineReader reader(path, bufferSize);
  std::vector<std::string> lines;
  while (!reader.eof()) lines.push_back(reader.readLine());
  return lines;
}

TEST(TextLineReader, LineBreakRules) {
  test::TempDir dir;
  const auto file = dir / "t.txt";
  using Lines = std::vector<std::string>;
  const struct {
    const char* bytes;
    Lines lines;
  } cases[] = {
      {"one\r\ntwo\rthree\r\n", {"one", "two", "three"}},
      {"NAME 'a'\nsecond\r\nthird", {"NAME 'a'\nsecond", "third"}},  // a bare LF stays inside the line
      {"first\r\nsec\x1Aond\r\nthird\r\n", {"first", "sec"}},        // the byte 1A ends the text
      {"last", {"last"}},                                          // no final line break
      {"", {}},
      {"a\r\rb", {"a", "", "b"}},                                  // CR CR gives an empty line
      {"\r\n\r\n\x1A", {"", ""}},
      {"x\r\x1A\n", {"x"}},
  };
  // Every case also with reads of one, two and three bytes, so each break and the 1A fall on the
  // edge of a read somewhere.
  for (const auto& c : cases) {
    test::writeFile(file, c.bytes);
    for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3}, TextLineReader::kBufferSize})
      EXPECT_EQ(readAllLines(file, size), c.lines) << ::testing::PrintToString(std::string(c.bytes)) << " read by " << size;
  }

  // Reading past the end gives empty text.
  test::writeFile(file, "a\r\rb");
  TextLineReader reader(file);
  reader.readLine();
  reader.readLine();
  reader.readLine();
  EXPECT_TRUE(reader.eof());
  EXPECT_EQ(reader.readLine(), "");
}

TEST(TextLineReader, LinesAcrossTheBufferAndHugeLinesAreCut) {
  test::TempDir dir;
  const auto file = dir / "big.txt";
  std::string longLine(TextLineReader::kMaxLineLength + 5000, 'x');
  // A CR at the end of one buffer with the LF at the start of the next is one break.
  std::string first(65535, 'a');
  test::writeFile(file, first + "\r\n" + longLine + "\r\nend");
  const auto lines = readAllLines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1].size(), TextLineReader::kMaxLineLength);
  EXPECT_EQ(lines[2], "end");
}

TEST(TextLineReader, OpenFailuresCarryTheirCodes) {
  test::TempDir dir;
  try {
    TextLineReader reader(dir / "missing.txt");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_STREQ(e.what(), "File not found");
  }
  test::makeDirs(dir / "folder");
  EXPECT_THROW(TextLineReader reader(dir / "folder"), EInOutError);
  // A pipe with no writer would block a plain open for ever; it is refused at once.
  const bool fifo = test::makeFifo(dir / "pipe.inf");
  if (test::kOnLinux) ASSERT_TRUE(fifo);
  if (fifo) EXPECT_THROW(TextLineReader reader(dir / "pipe.inf"), EInOutError);
}

TEST(WriteFileAtomically, ReplacesContentsAndKeepsNoTemporaryFile) {
  test::TempDir dir;
  const auto file = dir / "Pitkit.ini";
  writeFileAtomically(file, "new\r\n");
  EXPECT_EQ(test::readFile(file), "new\r\n");
  writeFileAtomically(file, "newer\r\n");
  EXPECT_EQ(test::readFile(file), "newer\r\n");
  EXPECT_EQ(test::namesIn(dir.path()).size(), 1u);
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileWhole) {
  test::TempDir dir;
  const auto file = dir / "Pitkit.ini";
  PITKIT_LINUX_ONLY("a file-size limit needs a forked child");
  test::writeFile(file, "PitkitDirectory:/old\r\nTorvaneDirectory:/old\r\n");

  // A child process with a 10-byte file size limit fails half-way through the write.
  const test::ChildOutcome child = test::runInChild(test::withFileSizeLimit(10), [&]() -> std::string {
    try {
      writeFileAtomically(file, std::string(1000, 'x'));
    } catch (const EInOutError& e) {
      return e.ErrorCode == 101 ? "" : "the write failed with code " + std::to_string(e.ErrorCode);
    }
    return "the write did not fail";
  });
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << "the write did not fail with Disk full: " << child;
  EXPECT_EQ(test::readFile(file), "PitkitDirectory:/old\r\nTorvaneDirectory:/old\r\n");
  EXPECT_EQ(test::namesIn(dir.path()).size(), 1u) << "the temporary file was left behind";
}

TEST(WriteFileAtomically, ALinkKeepsPointingAtTheFileItLeadsTo) {
  test::TempDir dir;
  PITKIT_LINUX_ONLY("symbolic links");
  test::writeFile(dir / "real/Pitkit.ini", "old");
  ASSERT_TRUE(test::makeSymlink(dir / "real/Pitkit.ini", dir / "Pitkit.ini"));
  writeFileAtomically(dir / "Pitkit.ini", "new");
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "Pitkit.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::readFile(dir / "real/Pitkit.ini"), "new");
}

TEST(WriteFileAtomically, AReadOnlyFileIsNotReplaced) {
  test::TempDir dir;
  const auto file = dir / "locked.inf";
  test::writeFile(file, "keep");
  ::chmod(file.c_str(), 0444);
  try {
    writeFileAtomically(file, "changed");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 5);
  }
  EXPECT_EQ(test::readFile(file), "keep");
}

}  // namespace
}  // namespace pitkit
