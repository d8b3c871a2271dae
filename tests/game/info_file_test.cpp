// The key-line scan, the quoted-value cut and the stock level table.
#include "game/InfoFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "game/CarFile.h"
#include "game/StockTables.h"
#include "platform/Errors.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::TempDir;
using test::writeFile;

std::string nameOf(const TempDir& tmp, const std::string& bytes) {
  writeFile(tmp / "level.inf", bytes);
  return readLevelDisplayName(tmp / "level.inf");
}

TEST(QuotedValueCut, CutsBetweenTheFirstTwoDelimiters) {
  EXPECT_EQ(quotedValueCut("NAME 'Toy World'", '\''), "Toy World");
  EXPECT_EQ(quotedValueCut("NAME Toy World", '\''), "NAME Toy World");
  EXPECT_EQ(quotedValueCut("Name 'Oops", '\''), "Oops");
  EXPECT_EQ(quotedValueCut("NAME ''", '\''), "");
  EXPECT_EQ(quotedValueCut("", '\''), "");
  // Nothing is trimmed, and only the first two delimiters count.
  EXPECT_EQ(quotedValueCut("NAME ' spaced ' 'second'", '\''), " spaced ");
  EXPECT_EQ(quotedValueCut("Name \"Car\" 'x'", '"'), "Car");
}

TEST(KeyLineScan, FindsTheFirstLineHoldingAKeyAndContinuesAfterIt) {
  TempDir tmp;
  writeFile(tmp / "p.txt", "; comment\r\nName \"Car\"\r\nTPAGE \"cars\\c\\c.bmp\"\r\nName \"Second\"\r\n");
  TextLineReader reader(tmp / "p.txt");
  EXPECT_EQ(keyLineScan(reader, kNameKeys), "Name \"Car\"");
  EXPECT_EQ(keyLineScan(reader, {"TPAGE", "tpage", "Tpage"}), "TPAGE \"cars\\c\\c.bmp\"");
  EXPECT_EQ(keyLineScan(reader, kNameKeys), "Name \"Second\"");
  // At the end of the text an empty result (nothing more was read).
  EXPECT_EQ(keyLineScan(reader, kNameKeys), "");
}

TEST(ReadLevelDisplayName, FollowsTheNameLineRules) {
  TempDir tmp;
  // A comment first, the name on the second line.
  EXPECT_EQ(nameOf(tmp, "; Torvane .INF file structure\r\nNAME 'Toy World'\r\nSKY 'blue'\r\n"), "Toy World");
  // Keys are compared with case, anywhere in the line: a word holding "name" counts.
  EXPECT_EQ(nameOf(tmp, "; the Filename comes 'first'\r\nNAME 'Toy World'\r\n"), "first");
  EXPECT_EQ(nameOf(tmp, "NaMe 'no'\r\nname 'yes'\r\n"), "yes");
  // A name line without quotes gives the whole line.
  EXPECT_EQ(nameOf(tmp, "x\r\nName Toy World\r\n"), "Name Toy World");
  // Without any key line, the cut of the last line.
  EXPECT_EQ(nameOf(tmp, "first 'a'\r\nlast 'b' line\r\n"), "b");
  EXPECT_EQ(nameOf(tmp, "first\r\nlast line without break"), "last line without break");
  // An empty file gives an empty name.
  EXPECT_EQ(nameOf(tmp, ""), "");
  // Lines ending in LF alone are one line: the first quoted text anywhere in the file.
  EXPECT_EQ(nameOf(tmp, "; c 'comment'\nNAME 'Toy World'\n"), "comment");
  // The byte 1A ends the text, the name after it is never seen.
  EXPECT_EQ(nameOf(tmp, "first 'a'\r\n\x1aNAME 'hidden'\r\n"), "a");
  // Bytes of the game's 8-bit character set become UTF-8.
  EXPECT_EQ(nameOf(tmp, "NAME 'Caf\xe9 \x80'\r\n"), "Caf\xc3\xa9 \xe2\x82\xac");
}

// The whole name line decides its character set, so a line that mixes both is read in one.
TEST(NameLineValue, ReadsTheLineInTheCharacterSetItIsWrittenIn) {
  EXPECT_EQ(nameLineValue("NAME 'Cr\xC3\xA8me Br\xC3\xBBl\xC3\xA9" "e'", '\''), "Crème Brûlée");
  EXPECT_EQ(nameLineValue("NAME 'Cr\xE8me Br\xFBl\xE9" "e'", '\''), "Crème Brûlée");
  EXPECT_EQ(nameLineValue("NAME 'Cr\xC3\xA8me' ; \xE9t\xE9", '\''), "CrÃ¨me");
  TempDir tmp;
  EXPECT_EQ(nameOf(tmp, "; Torvane .INF file structure\r\nNAME 'Cr\xC3\xA8me'\r\n"), "Crème");
}

TEST(ReadLevelDisplayName, BinaryAndHugeFilesGiveANameWithoutExhaustingMemory) {
  TempDir tmp;
  std::string binary(200000, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) % 251 + 1);
  binary[1000] = '\r';
  const std::string name = nameOf(tmp, binary);
  EXPECT_LE(name.size(), 2 * binary.size());
  // One line of 3 MB without a break: the line is cut at the reader's limit.
  const std::string huge = "NAME '" + std::string(3 << 20, 'n');
  EXPECT_EQ(nameOf(tmp, huge).size(), TextLineReader::kMaxLineLength - 6);
}

// 64 GiB of holes (nothing on disk): the level's and the car's scans read the first
// kKeyLineScanLimit bytes, as though the file ended there.
TEST(KeyLineScan, HugeSparseFilesEndAtTheScanLimit) {
  TempDir tmp;
  const std::string path = tmp / "parameters.txt", zeros(TextLineReader::kMaxLineLength, '\0');
  const std::uint64_t limit = kKeyLineScanLimit;
  const auto endingAtLimit = [&](const std::string& text) { return std::pair{limit - text.size(), text}; };
  const struct {
    std::vector<std::pair<std::uint64_t, std::string>> pieces;
    std::string nameLine, texturePage;
  } cases[] = {
      {{}, zeros, ""},
      {{{limit, "NAME 'far'\r"}}, zeros, ""},
      {{{0, "Name \"Car\"\r"}, endingAtLimit("\rTPAGE \"near.bmp\"\r")}, "Name \"Car\"", "near.bmp"},
      {{{0, "Name \"Car\"\r"}, endingAtLimit("\rCOLL \"x.hul\"\r"), {limit, "TPAGE \"far.bmp\"\r"}}, "Name \"Car\"", "x.hul"},
      {{{limit - 8, "\rNAME 'across'\r"}}, "NAME 'a", ""},
  };
  for (const auto& c : cases) {
    writeFile(path, "");
    ASSERT_TRUE(test::setFileSize(path, 64LL << 30));
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    for (const auto& [at, text] : c.pieces) file.seekp(std::streamoff(at)).write(text.data(), std::streamsize(text.size()));
    file.close();
    EXPECT_EQ(keyLineScanFile(path, kNameKeys), c.nameLine);
    EXPECT_EQ(readCarParameters(path).texturePage, c.texturePage) << c.nameLine;
  }
}

TEST(ReadLevelDisplayName, AMissingFileRaisesFileNotFound) {
  TempDir tmp;
  try {
    readLevelDisplayName(tmp / "none/none.inf");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()), "File not found");
  }
}

TEST(StockLevelInfoFiles, MatchesTheShippedSpellingsOnly) {
  EXPECT_EQ(StockLevelInfoFiles.size(), 39u);
  for (const char* stock : {"Nhood1.inf", "nhood1.inf", "nhood1_Battle.inf", "Nhood1_battle.inf", "wild_west2.inf",
                            "Frontend.inf", "toylite.inf"})
    EXPECT_TRUE(isStockLevelInfoFile(stock)) << stock;
  for (const char* custom : {"NHOOD1.inf", "Nhood1.INF", "nhood1", "NHood2.inf", "mytrack.inf", ""})
    EXPECT_FALSE(isStockLevelInfoFile(custom)) << custom;
}

}  // namespace
}  // namespace pitkit
