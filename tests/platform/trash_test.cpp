// The desktop's trash: free names, the info file, putting an item back, and the trashes of another
// file system (a tmpfs mounted here, when the test may mount one).
#include "platform/Trash.h"

#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <cstring>
#include <ctime>
#include <filesystem>
#include <regex>

#include "archive/archive_support.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::makeDirs;
using test::namesIn;
using test::readFile;
using test::TempDir;
using test::TmpfsMount;
using test::TrashHome;
using test::writeFile;

TEST(Trash, InfoPathsArePercentEncoded) {
  const struct {
    const char* path;
    const char* line;
  } cases[] = {
      {"/games/levels/desert", "/games/levels/desert"},
      {"/a b/Cr\xC3\xA8me run", "/a%20b/Cr%C3%A8me%20run"},
      {"/x/100%_~.-(1)#?&=+", "/x/100%25_~.-%281%29%23%3F%26%3D%2B"},
      {"/\n\x01\xFF", "/%0A%01%FF"},
  };
  for (const auto& c : cases) EXPECT_EQ(trashInfoPath(c.path), c.line) << c.path;
}

TEST(Trash, ItemsTakeFreeNamesAndInfoFilesSayWhereTheyWere) {
  TempDir tmp;
  const std::string dir = test::realPath(tmp.path());
  TrashHome home(dir + "/data");
  const std::string trash = home.trash();
  // A name in use in either folder of the trash is taken: a stale info file, a file without one.
  writeFile(trash + "/info/Kestrel (3).trashinfo", "stale");
  writeFile(trash + "/files/Kestrel (4)", "orphan");
  const struct {
    const char* path;      // the item, below the test folder
    const char* recorded;  // the path recorded for it ("" : its own)
    const char* name;      // its name in the trash
  } cases[] = {
      {"game/levels/Kestrel", "", "Kestrel"},
      {"game/un_levels/Kestrel", "", "Kestrel (2)"},
      {"game/levels/.staging-1", "game/levels/Kestrel", "Kestrel (5)"},
      {"game/Cr\xC3\xA8me run", "", "Cr\xC3\xA8me run"},
  };
  const std::regex info("\\[Trash Info\\]\nPath=([^\n]*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const std::string path = dir + "/" + c.path;
    writeFile(path + "/notes.txt", c.path);
    const std::time_t before = std::time(nullptr);
    const TrashedItem item = moveToTrash(path, *c.recorded ? dir + "/" + c.recorded : "");
    EXPECT_EQ(item.file, trash + "/files/" + c.name);
    EXPECT_EQ(item.info, trash + "/info/" + c.name + ".trashinfo");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(readFile(item.file + "/notes.txt"), c.path);
    std::smatch m;
    const std::string text = readFile(item.info);
    ASSERT_TRUE(std::regex_match(text, m, info)) << text;
    EXPECT_EQ(m[1].str(), trashInfoPath(dir + "/" + (*c.recorded ? c.recorded : c.path)));
    struct tm when {};
    ASSERT_NE(::strptime(m[2].str().c_str(), "%Y-%m-%dT%H:%M:%S", &when), nullptr);
    when.tm_isdst = -1;
    EXPECT_LE(std::abs(std::difftime(std::mktime(&when), before)), 2.0) << m[2].str();
  }
  EXPECT_EQ(readFile(trash + "/info/Kestrel (3).trashinfo"), "stale");
  EXPECT_EQ(readFile(trash + "/files/Kestrel (4)"), "orphan");

  // Put back: the entry returns and its info file goes; a taken place refuses and keeps both.
  const TrashedItem first{trash + "/files/Kestrel", trash + "/info/Kestrel.trashinfo"};
  makeDirs(dir + "/game/levels/Kestrel");
  EXPECT_EQ(restoreFromTrash(first, dir + "/game/levels/Kestrel"), EEXIST);
  EXPECT_TRUE(std::filesystem::exists(first.info));
  std::filesystem::remove(dir + "/game/levels/Kestrel");
  EXPECT_EQ(restoreFromTrash(first, dir + "/game/levels/Kestrel"), 0);
  EXPECT_EQ(readFile(dir + "/game/levels/Kestrel/notes.txt"), "game/levels/Kestrel");
  EXPECT_FALSE(std::filesystem::exists(first.info));
  EXPECT_FALSE(std::filesystem::exists(first.file));
}

TEST(Trash, AnotherFileSystemUsesItsOwnTrashOrNone) {
  TempDir tmp;
  TrashHome home(tmp / "data");
  const std::string top = tmp / "disk";
  makeDirs(top);
  // Root alone may mount; elsewhere the test cannot make a second file system of its own.
  const TmpfsMount mounted(top, "size=4m");
  if (!mounted.made()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mounted.why();
  const std::string uid = std::to_string(::geteuid());
  const struct {
    const char* what;
    void (*arrange)(const std::string& top);
    std::string trash;  // below the top folder; "" : none takes it
  } cases[] = {
      {"nothing there yet", [](const std::string&) {}, ".Trash-" + uid},
      {"a shared .Trash with the sticky bit",
       [](const std::string& t) {
         makeDirs(t + "/.Trash");
         ::chmod((t + "/.Trash").c_str(), 01777);
       },
       ".Trash/" + uid},
      {"a shared .Trash without it", [](const std::string& t) { makeDirs(t + "/.Trash"); }, ".Trash-" + uid},
      {"a link named .Trash",
       [](const std::string& t) {
         makeDirs(t + "/sticky");
         ::chmod((t + "/sticky").c_str(), 01777);
         std::filesystem::create_directory_symlink(t + "/sticky", t + "/.Trash");
       },
       ".Trash-" + uid},
      {"a file named .Trash-uid", [](const std::string& t) { writeFile(t + "/.Trash-" + std::to_string(::geteuid()), ""); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : namesIn(top)) test::removeTree(top + "/" + name);
    c.arrange(top);
    writeFile(top + "/game/levels/Marsh/notes.txt", "mine");
    if (c.trash.empty()) {
      EXPECT_EQ(trashFolderFor(top + "/game/levels/Marsh"), "");
      EXPECT_THROW(moveToTrash(top + "/game/levels/Marsh"), ETrashUnavailable);
      EXPECT_EQ(readFile(top + "/game/levels/Marsh/notes.txt"), "mine");
    } else {
      const TrashedItem item = moveToTrash(top + "/game/levels/Marsh");
      EXPECT_EQ(item.file, top + "/" + c.trash + "/files/Marsh");
      EXPECT_EQ(readFile(item.file + "/notes.txt"), "mine");
      struct stat st {};
      ASSERT_EQ(::lstat((top + "/" + c.trash).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0700u);
    }
    EXPECT_FALSE(std::filesystem::exists(tmp / "data/Trash/files/Marsh"));  // never copied home
  }
}

}  // namespace
}  // namespace pitkit
