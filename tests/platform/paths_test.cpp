#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pitkit
