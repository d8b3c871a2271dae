#include <gtest/gtest.h>

#include "platform/FolderName.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

TEST(PlainFolderNameProblem, RefusesWhatAWindowsGameFolderCannotHoldAsOneName) {
  const std::string twoLetters = "\xC3\xA9\xC3\xA9";  // four bytes: the length counts bytes
  const std::pair<std::string, std::string> cases[] = {
      {"Crème Brûlée", ""}, {"caf\xE9", ""}, {".hidden", ""}, {"CONSOLE", ""}, {"COM0", ""}, {"LPT10", ""},
      {"", "it is empty"}, {".", "it is \".\""}, {"..", "it is \"..\""},
      {"../evil", "it holds \"/\""}, {"..\\evil", "it holds \"\\\""}, {"a:b", "it holds \":\""},
      {"a*", "it holds \"*\""}, {"a?", "it holds \"?\""}, {"a\"b", "it holds \"\"\""}, {"<a", "it holds \"<\""},
      {"a>", "it holds \">\""}, {"a|b", "it holds \"|\""}, {"tab\there", "it holds a control character"},
      {"del\x7F", "it holds a control character"}, {"trail.", "it ends in a dot"}, {"trail ", "it ends in a space"},
      {"con", "CON is a device name"}, {"Prn.txt", "PRN is a device name"}, {"aux.a.b", "AUX is a device name"},
      {"NUL", "NUL is a device name"}, {"com1", "COM1 is a device name"}, {"Lpt9.inf", "LPT9 is a device name"},
      {std::string(251, 'a') + twoLetters, ""}, {std::string(252, 'a') + twoLetters, "it is longer than 255 bytes"},
  };
  for (const auto& [name, problem] : cases) EXPECT_EQ(plainFolderNameProblem(name, 255), problem) << name;
  test::TempDir dir;
  EXPECT_GE(longestNameIn(dir.path()), 14u);  // the least POSIX allows
}

}  // namespace
}  // namespace pitkit
