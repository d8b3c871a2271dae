// The installed list: its text read back as written whatever the names hold, the texts that are
// no such list, and the comparison of a list with a game.
#include "inventory/InstalledList.h"

#include "platform/Posix.h"

#include <gtest/gtest.h>

#include "inventory/ListComparison.h"
#include "support/ErrorOf.h"
#include "support/GameFiles.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using namespace test;

const std::string kPrint(64, 'a');
const std::string kOther(64, 'b');

TEST(InstalledList, ReadsBackWhatItWrites) {
  const std::vector<ListedItem> items = {
      {ItemKind::Level, "Kestrel", kPrint, "Kestrel Run"},
      {ItemKind::Level, "tab\there", kOther, "line\nbreak\r\\n and \\ \x01\x7f"},
      {ItemKind::Car, "Old/Bus", kPrint, ""},
      {ItemKind::Car, "caf\xc3\xa9 \xe9", kOther, "Caf\xe9 \xc3\xa9"},
  };
  const std::string text = formatInstalledList(items);
  EXPECT_TRUE(text.starts_with("# pitkit installed list 1\nlevel\tKestrel\t" + kPrint + "\tKestrel Run\n"));
  EXPECT_NE(text.find("level\ttab\\there\t" + kOther + "\tline\\nbreak\\r\\\\n and \\\\ \\x01\\x7f\n"), std::string::npos);
  EXPECT_EQ(parseInstalledList(text), items);
  // Line ends of another system, and blank lines, read the same.
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n\r\n") : std::string(1, c);
  EXPECT_EQ(parseInstalledList(crlf), items);
  EXPECT_TRUE(parseInstalledList("# pitkit installed list 1").empty());
}

TEST(InstalledList, RefusesWhatIsNoList) {
  const std::string header = "# pitkit installed list 1\n";
  const std::string item = "\tKestrel\t" + kPrint + "\tName\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "This is not a list of installed levels and cars"},
      {"hello\n" + header, "This is not a list of installed levels and cars"},
      {"# pitkit installed list\n", "This is not a list of installed levels and cars"},
      {"# pitkit installed list 0\n", "This is not a list of installed levels and cars"},
      {"# pitkit installed list 1x\n", "This is not a list of installed levels and cars"},
      {"# pitkit installed list 2\nlevel" + item,
       "The list was written by a newer version of the program (format 2; this one reads format 1)"},
      {header + "boat" + item, "Line 2 of the list names no level or car"},
      {header + "level\tKestrel\t" + kPrint + "\n", "Line 2 of the list does not hold four fields separated by tabs"},
      {header + "level" + item + "level\tA\t" + kPrint + "\tB\tC\n",
       "Line 3 of the list does not hold four fields separated by tabs"},
      {header + "level\tKestrel\t" + kPrint.substr(1) + "\tName\n", "Line 2 of the list holds no fingerprint"},
      {header + "level\tKestrel\t" + std::string(64, 'A') + "\tName\n", "Line 2 of the list holds no fingerprint"},
      {header + "level\tKes\\qtrel\t" + kPrint + "\tName\n", "Line 2 of the list holds a control byte or a backslash that starts no escape"},
      {header + "level\tKestrel\t" + kPrint + "\tName\\\n", "Line 2 of the list holds a control byte or a backslash that starts no escape"},
      {header + "level\tKestrel\t" + kPrint + "\tName\\x4\n", "Line 2 of the list holds a control byte or a backslash that starts no escape"},
      {header + "level\tKes" + std::string(1, '\0') + "\t" + kPrint + "\tN\n",
       "Line 2 of the list holds a control byte or a backslash that starts no escape"},
      {header + "level\tOld/Bus\t" + kPrint + "\tName\n", "Line 2 of the list holds no folder name"},
      {header + "car\tOld/../Bus\t" + kPrint + "\tName\n", "Line 2 of the list holds no folder name"},
      {header + "car\t\t" + kPrint + "\tName\n", "Line 2 of the list holds no folder name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(errorOf([&] { parseInstalledList(c.first); }), c.second);
  }
}

TEST(InstalledList, ReadsOnlyARegularFileOfAListsSize) {
  TempDir tmp;
  writeFile(tmp / "list.txt", "# pitkit installed list 1\ncar\tViper\t" + kPrint + "\tViper GT\n");
  EXPECT_EQ(readInstalledList(tmp / "list.txt"), (std::vector<ListedItem>{{ItemKind::Car, "Viper", kPrint, "Viper GT"}}));
  writeFile(tmp / "huge", "");
  ASSERT_TRUE(setFileSize(tmp / "huge", 1LL << 32));
  const bool fifo = makeFifo(tmp / "fifo");
  if (kOnLinux) ASSERT_TRUE(fifo);
  writeFile(tmp / "garbage", "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(errorOf([&] { readInstalledList(tmp / "huge"); }), "Cannot read the list " + tmp / "huge" + ": it is too large to be a list");
  EXPECT_EQ(errorOf([&] { readInstalledList(tmp / "missing"); }), "Cannot read the list " + tmp / "missing" + ": File not found");
  if (fifo) EXPECT_EQ(errorOf([&] { readInstalledList(tmp / "fifo"); }), "Cannot read the list " + tmp / "fifo" + ": File access denied");
  EXPECT_EQ(errorOf([&] { readInstalledList(tmp / "garbage"); }), tmp / "garbage: This is not a list of installed levels and cars");
}

TEST(ListComparison, MissingDifferentExtraAndLetterCase) {
  GameInventory game;
  game.listed = {{ItemKind::Level, "Kestrel", kPrint, "K"},  // agrees
                 {ItemKind::Level, "RIDGE", kPrint, "R"},    // renamed in letter case only: agrees
                 {ItemKind::Car, "Viper", kOther, "V"},      // different
                 {ItemKind::Level, "Summit", kPrint, "S"},   // extra
                 {ItemKind::Car, "Kestrel", kPrint, "C"}};   // a car of a level's name: extra
  game.installed = {{ItemKind::Level, true, "Kestrel", "/g/levels/Kestrel", "Kestrel.inf"},
                    {ItemKind::Level, true, "RIDGE", "/g/levels/RIDGE", "RIDGE.inf"},
                    {ItemKind::Car, true, "Viper", "/g/cars/Viper", "parameters.txt"},
                    {ItemKind::Level, true, "Summit", "/g/levels/Summit", "Summit.inf"},
                    {ItemKind::Car, true, "Kestrel", "/g/cars/Kestrel", "parameters.txt"}};
  game.uninstalled = {{ItemKind::Level, false, "Dune", "/g/un_levels/pack", "Dune.inf"},  // not where Install takes it
                      {ItemKind::Car, false, "bus", "/g/garage/bus", "parameters.txt"}};
  const std::vector<ListedItem> list = {{ItemKind::Level, "kestrel", kPrint, "K"},
                                        {ItemKind::Level, "Ridge", kPrint, "R"},
                                        {ItemKind::Car, "Viper", kPrint, "V"},
                                        {ItemKind::Car, "Bus", kPrint, "B"},
                                        {ItemKind::Level, "Dune", kPrint, "D"}};
  const std::vector<ItemDifference> expected = {
      {Difference::Missing, ItemKind::Car, "Bus", "/g/garage/bus"},
      {Difference::Missing, ItemKind::Level, "Dune", ""},
      {Difference::Different, ItemKind::Car, "Viper", "/g/cars/Viper"},
      {Difference::Extra, ItemKind::Level, "Summit", "/g/levels/Summit"},
      {Difference::Extra, ItemKind::Car, "Kestrel", "/g/cars/Kestrel"},
  };
  EXPECT_EQ(compareInstalled(list, game), expected);
  EXPECT_EQ(differenceLine(expected[0]), "missing car Bus");
  EXPECT_EQ(differenceLine(expected[2]), "different car Viper");
  EXPECT_EQ(differenceLine({Difference::Extra, ItemKind::Level, "a\nb", ""}), "extra level a\\nb");
  // A game's own list agrees with it; names twice in other letter cases match by fingerprint.
  EXPECT_TRUE(compareInstalled(game.listed, game).empty());
  GameInventory twice;
  twice.listed = {{ItemKind::Car, "viper", kPrint, "v"}, {ItemKind::Car, "Viper", kOther, "V"}};
  EXPECT_TRUE(compareInstalled({{ItemKind::Car, "VIPER", kOther, ""}, {ItemKind::Car, "VIPER", kPrint, ""}}, twice).empty());
  EXPECT_EQ(compareInstalled({{ItemKind::Car, "Viper", kOther, ""}}, twice),
            (std::vector<ItemDifference>{{Difference::Extra, ItemKind::Car, "viper", ""}}));
}

TEST(ListComparison, AGameOnDiskAgainstTheListOfAnother) {
  TempDir tmp;
  for (const std::string game : {"a", "b"}) {
    writeLevelInfo(tmp / game + "/levels/Kestrel/Kestrel.inf", "Kestrel Run");
    writeFile(tmp / game + "/levels/Kestrel/Kestrel.w", "world");
    writeCarParameters(tmp / game + "/cars/Viper", "Viper GT");
  }
  writeFile(tmp / "b/cars/Viper/body.bmp", "paint");  // different
  writeLevelInfo(tmp / "a/levels/Summit/Summit.inf", "Summit");  // missing in b, uninstalled there
  writeLevelInfo(tmp / "b/un_levels/Summit/Summit.inf", "Summit");
  writeLevelInfo(tmp / "b/levels/Dune/Dune.inf", "Dune");  // extra in b
  const std::vector<ListedItem> list = parseInstalledList(formatInstalledList(listInstalledItems(tmp / "a")));
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].displayName, "Kestrel Run");
  const std::vector<ItemDifference> expected = {
      {Difference::Missing, ItemKind::Level, "Summit", tmp / "b/un_levels/Summit"},
      {Difference::Different, ItemKind::Car, "Viper", tmp / "b/cars/Viper"},
      {Difference::Extra, ItemKind::Level, "Dune", tmp / "b/levels/Dune"},
  };
  EXPECT_EQ(compareWithGame(list, tmp / "b"), expected);
}

}  // namespace
}  // namespace pitkit
