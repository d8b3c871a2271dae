#include <gtest/gtest.h>

#include <climits>

#include "platform/FolderName.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

std::string twoByteLetters(int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += "\xC3\xA9";  // é in UTF-8
  return out;
}

TEST(PlainFolderNameProblem, RefusesWhatAWindowsGameFolderCannotHoldAsOneName) {
  const struct {
    std::string name, problem;
  } cases[] = {
      {"nhood9", ""},
      {"Crème Brûlée", ""},
      {"caf\xE9", ""},  // bytes, not UTF-8: still one name
      {"my.track", ""},
      {".hidden", ""},
      {"CONSOLE", ""},   // a device name only alone or before a dot
      {"COM0", ""},      // COM1-COM9 only
      {"LPT10", ""},
      {"xcon", ""},
      {"", "it is empty"},
      {".", "it is \".\""},
      {"..", "it is \"..\""},
      {"../evil", "it holds \"/\""},
      {"..\\evil", "it holds \"\\\""},
      {"a:b", "it holds \":\""},
      {"a*", "it holds \"*\""},
      {"a?", "it holds \"?\""},
      {"a\"b", "it holds \"\"\""},
      {"<a", "it holds \"<\""},
      {"a>", "it holds \">\""},
      {"a|b", "it holds \"|\""},
      {"tab\there", "it holds a control character"},
      {std::string("nul\0byte", 8), "it holds a control character"},
      {"del\x7F", "it holds a control character"},
      {"trail.", "it ends in a dot"},
      {"...", "it ends in a dot"},
      {"trail ", "it ends in a space"},
      {"con", "CON is a device name"},
      {"Prn.txt", "PRN is a device name"},
      {"aux.a.b", "AUX is a device name"},
      {"NUL", "NUL is a device name"},
      {"com1", "COM1 is a device name"},
      {"Lpt9.inf", "LPT9 is a device name"},
      {std::string(255, 'a'), ""},
      {std::string(256, 'a'), "it is longer than 255 bytes"},
      // The length counts bytes: 199 letters and 28 of two bytes fit, one more does not.
      {std::string(199, 'a') + twoByteLetters(28), ""},
      {std::string(200, 'a') + twoByteLetters(28), "it is longer than 255 bytes"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(plainFolderNameProblem(c.name, 255), c.problem) << ::testing::PrintToString(c.name);
}

TEST(PlainFolderNameProblem, TheLongestNameIsTheFileSystemsOwn) {
  test::TempDir dir;
  const std::size_t longest = longestNameIn(dir.path());
  EXPECT_GE(longest, 14u);  // the least POSIX allows
  EXPECT_EQ(plainFolderNameProblem(std::string(longest, 'n'), longest), "");
  // A folder that cannot be asked gives the system's limit.
  EXPECT_EQ(longestNameIn(dir / "missing"), std::size_t{NAME_MAX});
}

}  // namespace
}  // namespace pitkit
