// The program killed in the middle of a batch of moves across file systems: in a child that runs
// the main window (this test program has no application object of its own), killed while it copies
// the first, second or third of three levels. Afterwards every level is whole in exactly one place,
// once the partial copy is swept as the next Go sweeps it, and the history names exactly the levels
// that moved.
#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <QApplication>
#include <cstdio>
#include <filesystem>

#include "platform/FileSystem.h"
#include "history/History.h"
#include "transfer/FileCopy.h"
#include "transfer/FolderMove.h"
#include "support/ChildProcess.h"
#include "support/CopyThroughBuffer.h"
#include "support/GameTree.h"
#include "support/TrashHome.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The level whose copy the program is killed in, once part of a file of it has been copied.
std::string killIn;

ssize_t killingCopy(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned) {
  char link[32], path[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", in);
  const ssize_t n = ::readlink(link, path, sizeof path - 1);
  if (*inOff > 0 && n > 0 && std::string(path, n).find("/levels/" + killIn + "/") != std::string::npos)
    ::kill(::getpid(), SIGKILL);
  return copyThroughBuffer(in, inOff, out, outOff, len);
}

// The child: Go, a click on a and a Shift+click on c, Uninstall.
std::string uninstallAToC(const std::string& game) {
  ::alarm(60);
  int argc = 1;
  char name[] = "batch_kill_test";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  writeBitmap(game + "/gfx/pellmoor.bmp", 16, Qt::blue);  // the preview a level without one shows
  auto form = startShownIn(game);
  auto& u = form->levelOrganizerUi;
  u.Findbutton->click();
  clickRow(u.FoundFiles, QStringLiteral("a"));
  click(u.FoundFiles->viewport(), u.FoundFiles->visualItemRect(findItem(u.FoundFiles, QStringLiteral("c"))).center(),
        Qt::ShiftModifier);
  if (u.FoundFiles->selectedItems().size() != 3) return "three rows are not selected";
  setCopyRangeCall(&killingCopy);
  click(u.BitBtn4);
  return "the program was not killed";
}

}  // namespace

TEST(OrganizerBatch, AKilledBatchLeavesEveryLevelWholeInOnePlace) {
  const std::string other = otherFileSystemParent();
  if (other.empty()) GTEST_SKIP() << "no second file system on this machine";
  const std::vector<std::string> levels = {"a", "b", "c"};
  for (std::size_t killed = 0; killed < levels.size(); ++killed) {
    SCOPED_TRACE("killed while copying " + levels[killed]);
    TempDir tmp, away(other);
    const std::string game = realPath(tmp.path());
    makeDirs(away / "un_levels");
    std::filesystem::create_symlink(away / "un_levels", game + "/un_levels");
    for (const std::string& level : levels) {
      writeLevelInfo(game + "/levels/" + level + "/" + level + ".inf", level);
      writeFile(game + "/levels/" + level + "/big.bin", std::string(300000, level[0]));
    }
    const auto before = treeSnapshot(game + "/levels");
    killIn = levels[killed];
    const TrashHome dataHome(tmp / "data");

    const ChildOutcome outcome = runInChild({}, [&] { return uninstallAToC(game); });
    ASSERT_EQ(outcome.signal, SIGKILL) << outcome;

    // The level in hand left a partial copy; the ones before it moved, it and those after stayed.
    EXPECT_EQ(removeLeftoverCopies(away / "un_levels"), 1);
    std::map<std::string, std::string> installed, uninstalled;
    for (const auto& [path, bytes] : before) (path.substr(0, 1) < levels[killed] ? uninstalled : installed)[path] = bytes;
    EXPECT_EQ(treeSnapshot(game + "/levels"), installed);
    EXPECT_EQ(treeSnapshot(away / "un_levels"), uninstalled);

    // The batch's one action lists the levels moved before the kill, each where it now lies.
    History history(dataHome.history());
    const auto actions = history.actions(game);
    ASSERT_TRUE(actions.ok()) << actions.error().message;
    std::vector<std::string> recorded;
    for (const HistoryAction& action : actions.value())
      for (const HistoryItem& item : action.items) {
        recorded.push_back(item.name);
        EXPECT_TRUE(fileExists(item.toPath + "/" + item.name + ".inf")) << item.toPath;
      }
    EXPECT_LE(actions.value().size(), 1u);
    EXPECT_EQ(recorded, std::vector<std::string>(levels.begin(), levels.begin() + killed));
  }
}
