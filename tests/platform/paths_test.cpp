#include <gtest/gtest.h>

#include "support/LinuxOnly.h"

#include "platform/Paths.h"

namespace pitkit {
namespace {

TEST(RelativePath, LevelsBaseGivesNamesBelowItAndDotDotAbove) {
  const std::string base = "/games/rc/levels/";
  EXPECT_EQ(relativePath(base, "/games/rc/levels/nhood1"), "nhood1");
  EXPECT_EQ(relativePath(base, "/games/rc/levels/nhood1/extra"), "nhood1/extra");
  EXPECT_EQ(relativePath(base, "/games/rc/levels/a/b/c"), "a/b/c");
  EXPECT_EQ(relativePath(base, "/games/rc/levels"), "../levels");
  EXPECT_EQ(relativePath(base, "/games/rc"), "../../rc");
}

TEST(RelativePath, OtherBranchesAndRootsClimbToTheSharedFolder) {
  EXPECT_EQ(relativePath("/games/rc/levels/", "/games/other/levels/x"), "../../other/levels/x");
  EXPECT_EQ(relativePath("/games/rc/levels/", "/mnt/usb/track"), "../../../mnt/usb/track");
  EXPECT_EQ(relativePath("/games/rc/levels/", "/"), "../../../");
  // Folder names are compared ignoring (ASCII) case, as on the home platform.
  EXPECT_EQ(relativePath("/Games/RC/Levels/", "/games/rc/levels/Track"), "Track");
  // A base given without its trailing separator is taken up to its last separator.
  EXPECT_EQ(relativePath("/games/rc/levels", "/games/rc/levels/x"), "levels/x");
}

TEST(RelativePath, KeepsSpacesAndNonAsciiNames) {
  EXPECT_EQ(relativePath("/g h/levels/", "/g h/levels/Über Bahn"), "Über Bahn");
}

TEST(PathParts, NameExtensionAndFolder) {
  EXPECT_EQ(extractFileName("/a/b/track.inf"), "track.inf");
  EXPECT_EQ(extractFilePath("/a/b/track.inf"), "/a/b/");
  EXPECT_EQ(extractFileExt("/a/b.c/track"), "");
  EXPECT_EQ(extractFileExt("/a/b/track.Inf"), ".Inf");
  EXPECT_EQ(stripFileExt("my.track.inf"), "my.track");
  EXPECT_EQ(stripFileExt("parameters"), "parameters");
  EXPECT_EQ(includeTrailingDelim("/a"), "/a/");
  EXPECT_EQ(includeTrailingDelim("/"), "/");
  EXPECT_EQ(gamePathToNative("cars\\mycar\\car.bmp"), "cars/mycar/car.bmp");
}

TEST(PathParts, AbsolutePathsBeginAtTheRoot) {
  // Each system's own rule: a drive or a share on Windows, the root on Linux.
  const struct {
    const char* path;
    bool onLinux;
    bool onWindows;
  } rows[] = {
      {"/", true, false},
      {"/g h/levels", true, false},
      {"", false, false},
      {"levels/x", false, false},
      {"C:\\Games", false, true},  // a Windows path is a relative name on Linux
      {"c:/Games", false, true},
      {"C:", false, false},         // the drive's current folder
      {"//server/share", true, true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(isAbsolutePath(row.path), test::kOnLinux ? row.onLinux : row.onWindows) << row.path;
  const std::string absolute = test::kOnLinux ? "/a/b" : "C:/a/b";
  EXPECT_EQ(expandFileName(absolute), absolute);
}

TEST(PathInside, WholeNamesAfterNormalising) {
  EXPECT_TRUE(isPathInside("/g/levels", "/g/levels"));
  EXPECT_TRUE(isPathInside("/g/levels/track/a.inf", "/g/levels"));
  EXPECT_TRUE(isPathInside("/g/levels/track", "/g/levels/"));
  // A folder whose name only begins like the other one's is not inside it.
  EXPECT_FALSE(isPathInside("/g/levels2/track", "/g/levels"));
  EXPECT_FALSE(isPathInside("/g/level", "/g/levels"));
  // The folder is not inside what lies below it.
  EXPECT_FALSE(isPathInside("/g", "/g/levels"));
  // "..", "." and doubled separators are removed first, on both sides.
  EXPECT_TRUE(isPathInside("/g/cars/../levels//x/.", "/g/./levels"));
  EXPECT_FALSE(isPathInside("/g/levels/../cars", "/g/levels"));
  // Every absolute path is inside the root; a relative one is not.
  EXPECT_TRUE(isPathInside("/", "/"));
  EXPECT_TRUE(isPathInside("/proc/self", "/"));
  EXPECT_TRUE(isPathInside("//g", "/"));
  EXPECT_FALSE(isPathInside("g/levels", "/"));
  EXPECT_FALSE(isPathInside("", "/"));
}

TEST(PathInside, LetterCaseIsExactUnlessAskedOtherwise) {
  EXPECT_FALSE(isPathInside("/G/Levels/x", "/g/levels"));
  EXPECT_TRUE(isPathInside("/G/Levels/x", "/g/levels", LetterCase::IgnoreAscii));
  EXPECT_TRUE(isPathInside("/g/levels", "/G/LEVELS/", LetterCase::IgnoreAscii));
  EXPECT_FALSE(isPathInside("/g/levelsx", "/G/LEVELS", LetterCase::IgnoreAscii));
  // Only ASCII letters fold: "é" and "É" stay different bytes.
  EXPECT_FALSE(isPathInside("/g/\xc3\xa9/x", "/g/\xc3\x89", LetterCase::IgnoreAscii));
}

TEST(PathInside, RelativePathsAreComparedAsWritten) {
  EXPECT_TRUE(isPathInside("a/b", "a"));
  EXPECT_TRUE(isPathInside("./a/b/", "a"));
  EXPECT_FALSE(isPathInside("ab", "a"));
  EXPECT_FALSE(isPathInside("a", "."));
  EXPECT_TRUE(isPathInside("a/..", "."));
}

TEST(PathParts, TrailingSeparatorsAndParentFolder) {
  EXPECT_EQ(excludeTrailingDelim("/a/b/"), "/a/b");
  EXPECT_EQ(excludeTrailingDelim("/a/b///"), "/a/b");
  EXPECT_EQ(excludeTrailingDelim("/a/b"), "/a/b");
  EXPECT_EQ(excludeTrailingDelim("/"), "/");
  EXPECT_EQ(excludeTrailingDelim("///"), "/");
  EXPECT_EQ(excludeTrailingDelim(""), "");
  EXPECT_EQ(parentFolderPath("/a/b"), "/a/");
  EXPECT_EQ(parentFolderPath("/b"), "/");
  EXPECT_EQ(parentFolderPath("b"), "./");
}

TEST(AsciiCase, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(upperAscii('a'), 'A');
  EXPECT_EQ(upperAscii('z'), 'Z');
  EXPECT_EQ(upperAscii('A'), 'A');
  EXPECT_EQ(upperAscii('{'), '{');
  EXPECT_EQ(upperAscii('`'), '`');
  // Bytes above 127 (UTF-8 and Windows-1252 letters) are left alone.
  for (int b = 128; b < 256; ++b) EXPECT_EQ(upperAscii(static_cast<char>(b)), static_cast<char>(b)) << b;
  EXPECT_EQ(upperAscii(std::string("Track_\xe9.inf")), "TRACK_\xe9.INF");
  EXPECT_TRUE(sameTextAscii("Levels", "LEVELS"));
  EXPECT_FALSE(sameTextAscii("levels", "levels "));
}

}  // namespace
}  // namespace pitkit
