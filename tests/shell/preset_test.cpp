#include <gtest/gtest.h>
#include "platform/Posix.h"

#include "platform/Errors.h"
#include "shell/Preset.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(PresetKey, CutsTheFirstOccurrenceExactlyAndTrimsNothing) {
  EXPECT_EQ(removeKey("TorvaneDirectory:/g/rc", kPresetGameKey), "/g/rc");
  EXPECT_EQ(removeKey("TorvaneDirectory: /g/rc ", kPresetGameKey), " /g/rc ");
  // Text before the key stays: the two sides are joined.
  EXPECT_EQ(removeKey("x TorvaneDirectory:/g", kPresetGameKey), "x /g");
  // Only the first occurrence goes.
  EXPECT_EQ(removeKey("TorvaneDirectory:/TorvaneDirectory:", kPresetGameKey), "/TorvaneDirectory:");
  // The key's case is compared; a line without its key is its own value.
  EXPECT_EQ(removeKey("torvanedirectory:/g", kPresetGameKey), "torvanedirectory:/g");
  EXPECT_EQ(removeKey("", kPresetFolderKey), "");
}

TEST(PresetFile, WritesTwoCrLfLinesAndReadsThemBack) {
  TempDir tmp;
  const std::string path = tmp / "Pitkit.ini";
  writePreset(path, "/kit", "/games/Über Bahn");
  EXPECT_EQ(readFile(path), "PitkitDirectory:/kit\r\nTorvaneDirectory:/games/Über Bahn\r\n");
  std::exception_ptr failure;
  const PresetLines lines = readPresetLines(path, failure);
  EXPECT_FALSE(failure);
  EXPECT_EQ(removeKey(lines.first, kPresetFolderKey), "/kit");
  EXPECT_EQ(removeKey(lines.second, kPresetGameKey), "/games/Über Bahn");
}

TEST(PresetFile, ReadsByTheTextLineRule) {
  TempDir tmp;
  const std::string path = tmp / "Pitkit.ini";
  std::exception_ptr failure;
  // Bare CR breaks, a bare LF stays in the line, a third line is never read.
  writeFile(path, "PitkitDirectory:/a\rTorvaneDirectory:/b\nc\r\nTorvaneDirectory:/z\r\n");
  PresetLines lines = readPresetLines(path, failure);
  EXPECT_EQ(lines.first, "PitkitDirectory:/a");
  EXPECT_EQ(lines.second, "TorvaneDirectory:/b\nc");
  // Byte 1A ends the text; a missing second line reads as empty.
  writeFile(path, std::string("PitkitDirectory:/a\x1A\r\nTorvaneDirectory:/b\r\n"));
  lines = readPresetLines(path, failure);
  EXPECT_EQ(lines.first, "PitkitDirectory:/a");
  EXPECT_EQ(lines.second, "");
  // No final line break.
  writeFile(path, "PitkitDirectory:/a\r\nTorvaneDirectory:/b");
  lines = readPresetLines(path, failure);
  EXPECT_EQ(lines.second, "TorvaneDirectory:/b");
  EXPECT_FALSE(failure);
}

TEST(PresetFile, AHugeFileIsReadOnlyAsFarAsItsTwoLines) {
  TempDir tmp;
  const std::string path = tmp / "Pitkit.ini";
  // 64 GiB of zeros (a sparse file) after the first line: the read stops at its limit.
  writeFile(path, "PitkitDirectory:/a\r\n");
  ASSERT_TRUE(test::setFileSize(path, 64LL << 30));
  std::exception_ptr failure;
  const PresetLines lines = readPresetLines(path, failure);
  EXPECT_EQ(lines.first, "PitkitDirectory:/a");
  EXPECT_LE(lines.second.size(), 64u * 1024);
  EXPECT_FALSE(failure);
}

TEST(PresetFile, FailuresRaiseTheInputOutputErrorAndKeepTheOldFile) {
  TempDir tmp;
  std::exception_ptr failure;
  try {
    readPresetLines(tmp / "missing.ini", failure);
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
  }
  const std::string path = tmp / "Pitkit.ini";
  writePreset(path, "/kit", "/old");
  ::chmod(path.c_str(), 0444);
  try {
    writePreset(path, "/kit", "/new");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 5);
  }
  EXPECT_EQ(readFile(path), "PitkitDirectory:/kit\r\nTorvaneDirectory:/old\r\n");
  EXPECT_THROW(writePreset(tmp / "gone/Pitkit.ini", "/kit", "/new"), EInOutError);
}

TEST(PresetFile, RefusesFolderNamesItCouldNotReadBack) {
  TempDir tmp;
  const std::string path = tmp / "Pitkit.ini";
  writePreset(path, "/kit", "/old");
  const std::string before = readFile(path);
  // A CR would end the line early and 1A the whole text: the file would name another folder.
  const std::pair<std::string, std::string> refused[] = {
      {"/kit", "/games/a\rb"}, {"/kit", std::string("/games/a\x1A")}, {"/k\rit", "/games"}};
  for (const auto& [folder, game] : refused) {
    EXPECT_THROW(writePreset(path, folder, game), Exception);
    EXPECT_EQ(readFile(path), before);
  }
  // A bare LF stays inside its line, so it is written and read back whole.
  writePreset(path, "/kit", "/games/a\nb");
  std::exception_ptr failure;
  EXPECT_EQ(removeKey(readPresetLines(path, failure).second, kPresetGameKey), "/games/a\nb");
}

}  // namespace
}  // namespace pitkit
