// The items of a game folder as the pages list them: which marked files make an item, which are
// left out (stock, a spelling the pages do not list, a marker missing, a file in the parent
// itself), and the order: levels before cars, installed before uninstalled.
#include "game/GameItems.h"

#include <gtest/gtest.h>

#include "support/GameFiles.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using namespace test;

TEST(GameItems, TheItemsThePagesList) {
  TempDir tmp;
  const std::string game = tmp / "game";
  writeLevelInfo(game + "/levels/Kestrel/Kestrel.inf", "Kestrel Run");
  writeLevelInfo(game + "/levels/Ridge/ridge.inf", "Ridge");            // folder and file spelt apart
  writeLevelInfo(game + "/levels/nhood1/nhood1.inf", "Stock");          // a stock level
  writeFile(game + "/levels/Plain/Plain.inf", "NAME 'no marker'\r\n");  // no marker
  writeLevelInfo(game + "/un_levels/pack/Summit.inf", "Summit");        // any depth below un_levels
  writeCarParameters(game + "/cars/Viper", "Viper GT");
  writeCarParameters(game + "/cars/rc", "Stock car");
  writeCarParameters(game + "/cars", "The folder itself");
  writeCarParameters(game + "/garage/Old/Bus", "Old Bus");

  const std::vector<GameItem> items = listGameItems(game);
  const std::vector<GameItem> expected = {
      {ItemKind::Level, true, "Kestrel", game + "/levels/Kestrel", "Kestrel.inf"},
      {ItemKind::Level, false, "Summit", game + "/un_levels/pack", "Summit.inf"},
      {ItemKind::Car, true, "Viper", game + "/cars/Viper", "parameters.txt"},
      {ItemKind::Car, false, "Old/Bus", game + "/garage/Old/Bus", "parameters.txt"},
  };
  EXPECT_EQ(items, expected);
  EXPECT_EQ(readItemDisplayName(items[0]), "Kestrel Run");
  EXPECT_EQ(readItemDisplayName(items[3]), "Old Bus");
  EXPECT_TRUE(listGameItems(tmp / "missing").empty());
}

}  // namespace
}  // namespace pitkit
