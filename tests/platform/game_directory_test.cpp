// The game folder's announcement: every listener hears each change in order, and one listener's
// failure neither stops the others nor is swallowed.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/GameDirectory.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

TEST(GameDirectory, EveryListenerFollowsTheChangeEvenAfterAnotherFailsAndTheFirstFailureIsRaised) {
  GameDirectory game;
  std::vector<std::string> heard;
  game.listen([&](const std::string& folder) { heard.push_back("a:" + folder); });
  game.listen([&](const std::string&) { throw std::runtime_error("first refusal"); });
  game.listen([&](const std::string& folder) {
    heard.push_back("c:" + folder + ":" + game.path());
    throw std::runtime_error("second refusal");
  });
  game.listen([&](const std::string& folder) { heard.push_back("d:" + folder); });

  try {
    game.change("/games/one");
    FAIL() << "the refusal was swallowed";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "first refusal");
  }
  EXPECT_EQ(heard, (std::vector<std::string>{"a:/games/one", "c:/games/one:/games/one", "d:/games/one"}));
  EXPECT_EQ(game.path(), "/games/one");
}

TEST(GameDirectory, ListenersHearTheAnnouncedFolderWhenOneChangesItAgainAndSubFoldersFollowThePath) {
  test::TempDir dir;
  GameDirectory game;
  std::vector<std::string> heard;
  game.listen([&](const std::string& folder) {
    heard.push_back(folder);
    if (folder == dir.path()) game.text() = "/elsewhere";
  });
  game.listen([&](const std::string& folder) { heard.push_back(folder); });
  game.change(dir.path());
  EXPECT_EQ(heard, (std::vector<std::string>{dir.path(), dir.path()}));
  EXPECT_EQ(game.path(), "/elsewhere");

  game.text() = dir.path();
  EXPECT_EQ(game.sub("cars"), dir / "cars");
  EXPECT_EQ(game.subWithDelim("gfx"), dir / "gfx/");
  EXPECT_FALSE(game.usable());
  test::writeFile(dir / "levels", "a file, not a folder");
  EXPECT_FALSE(game.usable());
  test::removeTree(dir / "levels");
  test::makeDirs(dir / "levels");
  EXPECT_TRUE(game.usable());
}

}  // namespace
}  // namespace pitkit
