// The path forms of Windows read as text: what the registry, Steam's list and the drive functions
// give back, in the program's form. Pure rules, tested here on any system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/SteamLibraryList.h"
#include "platform/WindowsPaths.h"

namespace pitkit {
namespace {

using Strings = std::vector<std::string>;

// `path` with '/' made the program's separator.
std::string native(std::string path) {
  for (char& c : path)
    if (c == '/') c = PathDelim;
  return path;
}

TEST(WindowsPaths, AbsolutePathsTakeTheProgramsFormAndEverythingElseIsRefused) {
  const struct {
    std::string windows;
    std::string program;  // "" refused
  } rows[] = {
      {"C:\\Games\\RC", "C:/Games/RC"},
      {"c:/program files (x86)/steam", "C:/program files (x86)/steam"},  // as the registry keeps it
      {"D:\\", "D:/"},
      {"E:\\Spiele\\Über Bahn\\", "E:/Spiele/Über Bahn/"},
      {"\\\\server\\share\\rc", "//server/share/rc"},
      {"\\\\?\\C:\\a very\\long", "C:/a very/long"},
      {"\\\\?\\UNC\\server\\share\\x", "//server/share/x"},
      {"C:", ""},               // a bare drive
      {"C:games", ""},          // drive-relative
      {"games\\rc", ""},        // relative
      {"\\games", ""},          // the current drive's root: which drive is not said
      {"\\\\server", ""},       // a server without its share
      {"\\\\server\\", ""},
      {"\\\\\\share", ""},
      {"1:\\x", ""},
      {"", ""},
      {std::string("C:\\a\0b", 6), ""},  // a NUL inside
      {"C:\\a\nb", ""},
      {"\\\\?\\", ""},
      {"\\\\?\\UNC\\", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(windowsPathToProgram(row.windows), native(row.program)) << row.windows;
}

TEST(WindowsPaths, LogicalDriveStringsAreReadToTheirEndOrTheFirstOddEntry) {
  using namespace std::string_literals;
  const struct {
    std::u16string buffer;
    Strings roots;
  } rows[] = {
      {u"C:\\\0D:\\\0z:\\\0\0"s, {"C:/", "D:/", "Z:/"}},
      {u"C:\\\0D:\\"s, {"C:/", "D:/"}},  // no closing NUL: the end of the buffer ends it
      {u"\0C:\\\0\0"s, {}},
      {u""s, {}},
      {u"C:\\\0garbage\0D:\\\0\0"s, {"C:/"}},  // stops at an entry that is no root
      {u"C:\\\0\u00c4:\\\0\0"s, {"C:/"}},      // a letter that is not ASCII
      {u"C:\\\0D:\0\0"s, {"C:/"}},
  };
  for (const auto& row : rows) {
    Strings expected;
    for (const std::string& root : row.roots) expected.push_back(native(root));
    EXPECT_EQ(logicalDriveRoots(row.buffer), expected) << row.buffer.size();
  }
  // However long the buffer, no more than the 26 letters.
  std::u16string many;
  for (int i = 0; i < 4000; ++i) many += u"C:\\"s + u'\0';
  EXPECT_EQ(logicalDriveRoots(many).size(), 26u);
}

TEST(WindowsPaths, DriveCaptionsNameTheKind) {
  EXPECT_EQ(driveCaption(native("C:/"), driveKindOf(3)), "C: (local disk)");
  EXPECT_EQ(driveCaption(native("E:/"), driveKindOf(2)), "E: (removable disk)");
  EXPECT_EQ(driveCaption(native("D:/"), driveKindOf(5)), "D: (CD or DVD)");
  EXPECT_EQ(driveCaption(native("Z:/"), driveKindOf(4)), "Z: (network drive)");
  EXPECT_EQ(driveCaption(native("R:/"), driveKindOf(6)), "R: (RAM disk)");
  EXPECT_EQ(driveCaption(native("Q:/"), driveKindOf(0)), "Q: (drive)");
  EXPECT_EQ(driveCaption(native("Q:/"), driveKindOf(77)), "Q: (drive)");
}

// Steam on Windows writes drive paths with doubled backslashes; read in the Windows form they are
// libraries, read in the Linux form they are not (and the other way round).
TEST(WindowsPaths, SteamListsWrittenOnWindowsNameDrivePaths) {
  const struct {
    std::string text;
    Strings windows;
    Strings posix;
  } rows[] = {
      {R"("libraryfolders" { "0" { "path" "C:\\Program Files (x86)\\Steam" } "1" { "path" "D:\\SteamLibrary" } })",
       {"C:/Program Files (x86)/Steam", "D:/SteamLibrary"}, {}},
      {R"("LibraryFolders" { "1" "E:\\Spiele" "2" "/data/steam" })", {"E:/Spiele"}, {"/data/steam"}},
      {R"("libraryfolders" { "0" { "path" "\\\\nas\\games\\steam" } })", {"//nas/games/steam"}, {}},
      {R"("libraryfolders" { "0" { "path" "Steam" } "1" { "path" "C:" } })", {}, {}},  // not absolute
      {R"("libraryfolders" { "0" { "path" "C:\\Steam" )", {}, {}},                       // cut off
      {R"("libraryfolders" { "0" { "path" "C:\Steam" } })", {}, {}},                     // an unknown escape
      {std::string("\xff\xfe\"\0l\0i\0b", 9), {}, {}},                                      // UTF-16 garbage
      {R"("libraryfolders" { "0" { "path" "C:\\)" + std::string(kMaxSteamVdfBytes, 'x') + R"(" } })", {}, {}},
  };
  for (const auto& row : rows) {
    Strings windows;
    for (const std::string& path : row.windows) windows.push_back(native(path));
    EXPECT_EQ(steamLibraryPaths(row.text, PathForm::Windows), windows) << row.text.substr(0, 80);
    EXPECT_EQ(steamLibraryPaths(row.text, PathForm::Posix), row.posix) << row.text.substr(0, 80);
  }
}

}  // namespace
}  // namespace pitkit
