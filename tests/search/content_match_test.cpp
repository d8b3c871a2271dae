// The content test, the exclusion match, the date test, the listing's name masks and the
// date-time conversions, each against the cases that break them.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "platform/FindData.h"
#include "platform/Mask.h"
#include "search/SearchWalk.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::TempDir;

// Whether the file holding `bytes` contains `text`, read through the matcher as the walk does.
bool fileHolds(const std::string& bytes, const std::string& text, bool ignoreCase) {
  TempDir t;
  test::writeFile(t / "f.bin", bytes);
  const int dir = ::openat(AT_FDCWD, t.path().c_str(), O_RDONLY | O_DIRECTORY);
  ContentMatcher m(text, ignoreCase);
  const bool found = m.fileContains(dir, "f.bin", bytes.size());
  ::close(dir);
  return found;
}

std::string at(std::size_t offset, const std::string& text, std::size_t total) {
  std::string bytes(offset, 'x');
  bytes += text;
  if (bytes.size() < total) bytes.append(total - bytes.size(), 'y');
  return bytes;
}

TEST(ContentTest, FindsTheTextWhereverItLiesAlsoAcrossReadBoundaries) {
  const std::string text = "Torvane .INF file structure";
  for (std::size_t boundary : {std::size_t{4096}, ContentMatcher::kReadSize, 2 * ContentMatcher::kReadSize}) {
    for (std::size_t back = 1; back < text.size(); back += 5)
      EXPECT_TRUE(fileHolds(at(boundary - back, text, boundary + 100), text, true)) << boundary << " " << back;
    EXPECT_TRUE(fileHolds(at(boundary + 1, text, boundary + 100), text, true));
    EXPECT_TRUE(fileHolds(at(boundary - text.size(), text, boundary), text, true)) << "at the very end";
  }
  EXPECT_TRUE(fileHolds(text, text, true));
  EXPECT_TRUE(fileHolds(at(3 * 1024 * 1024, text, 0), text, false)) << "deep in a large file";
  EXPECT_FALSE(fileHolds(text.substr(0, text.size() - 1), text, true)) << "cut short by the end";
  EXPECT_FALSE(fileHolds("", text, true));
  EXPECT_FALSE(fileHolds(std::string(200000, 'T'), text, true));
  // Partial matches right before the real one, and anchors before the first possible start.
  EXPECT_TRUE(fileHolds(".INF Torvane .INF file structur Torvane .INF file structure", text, true));
  EXPECT_TRUE(fileHolds(".cd ab.cd", "ab.cd", true));
  EXPECT_FALSE(fileHolds(".cd ab.c", "ab.cd", true));
}

TEST(ContentTest, FoldsOnlyAToZAndNeverMatchesANulByte) {
  EXPECT_TRUE(fileHolds("; TORVANE .inf File STRUCTURE\r\n", "torvane .INF file structure", true));
  EXPECT_FALSE(fileHolds("; TORVANE .inf File STRUCTURE\r\n", "torvane .INF file structure", false));
  EXPECT_TRUE(fileHolds("xx; Model Filenames", "; model filenames", true));
  EXPECT_TRUE(fileHolds("xxABCxx", "abc", true)) << "a text of letters only";
  EXPECT_TRUE(fileHolds(at(4094, "ABC", 5000), "abc", true));
  // Accented letters (8-bit bytes) compare exactly: e-acute does not match E-acute.
  EXPECT_FALSE(fileHolds("Caf\xC9", "caf\xE9", true));
  EXPECT_TRUE(fileHolds("CAF\xE9", "caf\xE9", true));
  // '@' and '`' sit next to the letters: no folding onto them.
  EXPECT_FALSE(fileHolds("a@b", "a`b", true));
  // A NUL byte in the file matches no text character.
  EXPECT_FALSE(fileHolds(std::string("Mod\0l", 5), "model", true));
  EXPECT_TRUE(fileHolds(std::string("\0\0model\0", 8), "MODEL", true));
  // The text ends at its first NUL byte.
  EXPECT_TRUE(fileHolds("xx abc yy", std::string("abc\0zzz", 7), true));
}

TEST(ContentTest, AFileThatCannotBeOpenedIsNotAMatch) {
  TempDir t;
  const int dir = ::openat(AT_FDCWD, t.path().c_str(), O_RDONLY | O_DIRECTORY);
  ContentMatcher m("x", true);
  EXPECT_FALSE(m.fileContains(dir, "missing.inf", 10));
  ::close(dir);
}

TEST(ExclusionMatch, NamePartStarStopsAtDotsAndQuestionMarkSkipsNoDot) {
  EXPECT_TRUE(exclusionMatches("/g/a.bak", "*.bak"));
  EXPECT_TRUE(exclusionMatches("/g/A.BAK", "*.bak"));
  EXPECT_FALSE(exclusionMatches("/g/a.bak2", "*.bak"));
  EXPECT_TRUE(exclusionMatches("/g/a.b", "*.*"));
  EXPECT_FALSE(exclusionMatches("/g/readme", "*.*"));
  EXPECT_TRUE(exclusionMatches("/g/readme", "*"));
  // '*' never crosses a dot of the name.
  EXPECT_FALSE(exclusionMatches("/g/a.b.c", "*.c"));
  EXPECT_TRUE(exclusionMatches("/g/a.b.c", "*.*.c"));
  EXPECT_FALSE(exclusionMatches("/g/abx", "*x"));
  // '?' stands for one character but not a dot; against a dot only the mask moves on.
  EXPECT_TRUE(exclusionMatches("/g/ab.c", "a?.c"));
  EXPECT_TRUE(exclusionMatches("/g/a.c", "a?.c"));
  EXPECT_TRUE(exclusionMatches("/g/a", "a??"));
  EXPECT_FALSE(exclusionMatches("/g/abc.c", "a?.c"));
  // An empty name part matches every name.
  EXPECT_TRUE(exclusionMatches("/g/levels/x.inf", "/g/levels/"));
}

TEST(ExclusionMatch, FolderPartMustEndThePathsFolder) {
  EXPECT_TRUE(exclusionMatches("/g/levels/t1/t1.inf", "t1/*.inf"));
  EXPECT_TRUE(exclusionMatches("/g/levels/t1/t1.inf", "LEVELS/T1/*.INF"));
  EXPECT_FALSE(exclusionMatches("/g/levels/t2/t1.inf", "t1/*.inf"));
  EXPECT_FALSE(exclusionMatches("/g/t1.inf", "/x/g/*.inf")) << "longer than the path's folder";
  EXPECT_TRUE(exclusionMatches("/g/t1.inf", "/g/*.inf"));
  // A drive in the mask must be a wildcard or the path's first character.
  EXPECT_TRUE(exclusionMatches("C:/g/t.inf", "?:/g/*.inf"));
  EXPECT_TRUE(exclusionMatches("C:/g/t.inf", "c:/g/*.inf"));
  EXPECT_FALSE(exclusionMatches("C:/g/t.inf", "D:/g/*.inf"));
}

TEST(DateTest, BoundsWithAndWithoutDateOrTimeParts) {
  const TDateTime t = encodeDateTime(2010, 7, 1, 12, 0);
  const TDateTime day = encodeDateTime(2010, 7, 1);
  EXPECT_TRUE(dateInRange(t, 0, 0));
  EXPECT_TRUE(dateInRange(t, day, 0)) << "a date-only Before compares dates: the same day passes";
  EXPECT_FALSE(dateInRange(t, encodeDateTime(2010, 7, 1, 11, 59), 0));
  EXPECT_TRUE(dateInRange(t, 0, day));
  EXPECT_FALSE(dateInRange(t, 0, day + 1));
  EXPECT_TRUE(dateInRange(t, encodeDateTime(1899, 12, 30, 12, 0), 0)) << "time-only Before";
  EXPECT_FALSE(dateInRange(t, encodeDateTime(1899, 12, 30, 11, 0), 0));
  EXPECT_TRUE(dateInRange(t, 0, encodeDateTime(1899, 12, 30, 12, 0))) << "time-only After";
  EXPECT_FALSE(dateInRange(t, 0, encodeDateTime(1899, 12, 30, 12, 0, 1)));
  EXPECT_FALSE(dateInRange(t, day + 10, day + 1)) << "both bounds apply";
  EXPECT_TRUE(dateInRange(t, day + 10, day - 1));
}

TEST(DateTimeConversions, EpochDaysAndPackedLocalTimes) {
  EXPECT_EQ(encodeDateTime(1899, 12, 30), 0.0);
  EXPECT_EQ(encodeDateTime(1900, 1, 1), 2.0);
  EXPECT_EQ(encodeDateTime(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(encodeDateTime(2000, 1, 1, 18, 0), 36526.75);
  EXPECT_EQ(unixToFileTime(0, 0), 116444736000000000ull);

  std::tm local{};
  local.tm_year = 2011 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 14;
  local.tm_hour = 15;
  local.tm_min = 9;
  local.tm_sec = 27;
  local.tm_isdst = -1;
  const std::uint64_t ft = unixToFileTime(std::mktime(&local), 500000000);
  EXPECT_NEAR(fileTimeToLocalDateTime(ft), encodeDateTime(2011, 3, 14, 15, 9, 27, 500), 1e-9);
  EXPECT_EQ(fileTimeToLocalPackedDateTime(ft),
            static_cast<std::int32_t>(((2011 - 1980) << 25) | (3 << 21) | (14 << 16) | (15 << 11) | (9 << 5) | 13));
  EXPECT_EQ(fileTimeToLocalPackedDateTime(unixToFileTime(86400 * 365, 0)), 0) << "1971 cannot be packed";
}

TEST(NameMask, AgreesWithTheMaskRulesAndTheirFastForms) {
  const std::vector<std::string> masks = {"*.*", "*", "*.inf", "*.INF", "parameters.txt", "parameters.*",
                                          "nhood?.*", "a*b*c", "*.", "?", "t*", "*x", "*.inf*", ""};
  const std::vector<std::string> names = {"a.inf", "A.INF", "x.inf.bak", "parameters.txt", "Parameters.TXT",
                                          "parameters", "nhood1.inf", "nhood12.inf", "nhood1", "abc",
                                          "aXbYc", "inf", ".inf", "x", "t", "README", "Über.inf", "abcx"};
  for (const auto& mask : masks) {
    const NameMask prepared(mask);
    for (const auto& name : names)
      EXPECT_EQ(prepared.matches(name), matchesMask(name, mask)) << name << " / " << mask;
  }
  EXPECT_TRUE(NameMask("*.inf").matches("TRACK.Inf"));
  EXPECT_FALSE(NameMask("*.inf").matches("track.info"));
  EXPECT_TRUE(NameMask("*.*").matches("README"));
  EXPECT_TRUE(NameMask("parameters.*").matches("parameters"));
}

}  // namespace
}  // namespace pitkit
