// The check of a game folder: a game with one case of each problem and a clean level and car
// (each problem reported once, the clean items never, also to a user who cannot read a file),
// and each fix applied, or refused when the world changed after the check.
#include <gtest/gtest.h>

#include <iostream>
#include "platform/Posix.h"

#include <algorithm>
#include <functional>

#include "check/GameCheck.h"
#include "history/Undo.h"
#include "shell/CheckWindow.h"
#include "support/ChildProcess.h"
#include "support/LinuxOnly.h"
#include "support/ErrorOf.h"
#include "support/GameFiles.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

void level(const TempDir& game, const std::string& folder, const std::string& info, const std::string& name) {
  writeLevelInfo(game / (folder + "/" + info), name);
  writeFile(game / (folder + "/" + name + ".w"), std::string(300, 'w'));
}

// One case of each problem beside a clean level and a clean car.
void buildGame(const TempDir& game) {
  level(game, "levels/Clean", "Clean.inf", "Clean");
  writeFile(game / "levels/Clean/Cleana.bmp", bitmapBytes(4, 4));
  writeFile(game / "gfx/CLEAN.BMP", bitmapBytes(8, 6));
  writeCarParameters(game / "cars/CleanCar", "Clean Car", "cars\\cleancar\\Car.bmp");
  writeFile(game / "cars/CleanCar/car.bmp", bitmapBytes(4, 4));
  writeFile(game / "cars/CleanCar/CleanCar.jpg", jpegBytes(8, 8, 200, 10, 10));

  level(game, "levels/Kestrel", "kestrel.inf", "Kestrel");  // info file spelt otherwise
  writeLevelInfo(game / "levels/Hawk/Hawk.inf", "Hawk");  // files of a rename by hand
  for (const char* file : {"Old.W", "Old.cam", "Olda.bmp", "banana.bmp"}) writeFile(game / (std::string("levels/Hawk/") + file), "x");
  level(game, "levels/Owl", "Owl.inf", "Owl");  // the same, a name taken
  for (const char* file : {"Prev.w", "Prev.fan"}) writeFile(game / (std::string("levels/Owl/") + file), "x");
  writeFile(game / "levels/Blank/Blank.inf", "");
  writeFile(game / "levels/Nameless/Nameless.inf", "; Torvane .INF file structure\r\nSKY 'grey'\r\n");
  writeCarParameters(game / "cars/EmptyCar", "x");
  writeFile(game / "cars/EmptyCar/parameters.txt", "");
  writeFile(game / "cars/Untitled/Parameters.txt", "{\r\nMODEL 0 \"body.prm\"\r\nTPAGE \"cars\\Untitled\\car.bmp\"\r\n}\r\n");
  writeCarParameters(game / "cars/Lost", "Lost", "cars\\Lost\\gone.bmp");
  level(game, "levels/Broken", "Broken.inf", "Broken");
  writeFile(game / "gfx/Broken.bmp", "BM not a picture");
  writeCarParameters(game / "cars/BadPic", "Bad Pic");
  writeFile(game / "cars/BadPic/badpic.jpg", "not a picture at all");
  level(game, "levels/Twin", "Twin.inf", "Twin");
  level(game, "un_levels/spare/twin", "twin.inf", "twin");
  level(game, "levels/Locked", "Locked.inf", "Locked");
  writeFile(game / "levels/Locked/data/secret.fld", "x");
  level(game, "levels/Shy", "Shy.inf", "Shy");
  writeFile(game / "gfx/Shy.bmp", bitmapBytes(2, 2));
}

const std::vector<std::string> kExpected = {
    "level installed Blank: info file Blank.inf is empty",
    "level installed Broken: preview gfx/Broken.bmp does not decode (Bitmap image is not valid)",
    "level installed Hawk: 3 files carry another level's name, Old: Old.cam, Old.W, Olda.bmp",
    "level installed Kestrel: info file kestrel.inf is spelt differently from its folder",
    "level installed Locked: cannot read file data/secret.fld (Permission denied)",
    "level installed Nameless: info file Nameless.inf has no name line",
    "level installed Owl: 2 files carry another level's name, Prev: Prev.fan, Prev.w (Owl.w is taken, so there is no fix)",
    "level installed Shy: cannot read preview gfx/Shy.bmp (Permission denied)",
    "level uninstalled twin: a level of the same name is installed, so Install and Uninstall refuse it",
    "car installed BadPic: picture badpic.jpg does not decode (JPEG error #53)",
    "car installed EmptyCar: parameters file parameters.txt is empty",
    "car installed Lost: texture page cars\\Lost\\gone.bmp does not exist",
    "car installed Untitled: parameters file Parameters.txt has no name line",
};

std::vector<std::string> linesOf(const std::vector<CheckProblem>& problems) {
  std::vector<std::string> lines;
  for (const CheckProblem& problem : problems) lines.push_back(problemLine(problem));
  return lines;
}

const CheckProblem& problemOf(const std::vector<CheckProblem>& problems, const std::string& name) {
  for (const CheckProblem& problem : problems)
    if (problem.name == name) return problem;
  throw std::runtime_error("no problem of " + name);
}

// The snapshot with every path below `from` moved below `to`.
std::map<std::string, std::string> moved(std::map<std::string, std::string> tree,
                                         const std::vector<std::pair<std::string, std::string>>& moves) {
  for (const auto& [from, to] : moves) {
    std::map<std::string, std::string> next;
    for (auto& [path, value] : tree)
      next[path == from || path.starts_with(from + "/") ? to + path.substr(from.size()) : path] = std::move(value);
    tree = std::move(next);
  }
  return tree;
}

}  // namespace

TEST(GameCheck, ReportsEachProblemOnceAndCleanItemsNever) {
  TempDir game;
  buildGame(game);
  std::vector<std::string> expected = kExpected;
  // Root reads every file.
  expected.erase(std::remove_if(expected.begin(), expected.end(),
                                [](const std::string& line) { return line.find("cannot read") != std::string::npos; }),
                 expected.end());
  const std::vector<CheckProblem> problems = checkGame(game.path(), checkPictureDecoders());
  EXPECT_EQ(linesOf(problems), expected);
  for (const CheckProblem& problem : problems)
    EXPECT_EQ(problem.fix.has_value(), problem.name == "Kestrel" || problem.name == "Hawk") << problem.name;

  // Without a levels folder there is no game to check.
  EXPECT_EQ(errorOf([&] { checkGame(game / "cars", checkPictureDecoders()); }),
            game / "cars" + " is not a game folder: it has no levels folder");

  // A user who cannot read a file is told so, once, under the level that holds it.
  PITKIT_LINUX_ONLY("another user, whom permission bits stop, in a forked child");
  ASSERT_EQ(giveTreeTo(game.path(), kNobody), "");
  for (const char* file : {"levels/Locked/data/secret.fld", "gfx/Shy.bmp"}) ASSERT_EQ(::chmod((game / file).c_str(), 0), 0);
  const ChildOutcome outcome = runInChild(asUnprivilegedUser(), [&] {
    const std::vector<std::string> lines = linesOf(checkGame(game.path(), checkPictureDecoders()));
    std::string report;
    if (lines != kExpected)
      for (const std::string& line : lines) report += line + "\n";
    return report;
  });
  EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome;

}

TEST(GameCheck, FixesRenameOnceAndRefuseWhatChangedSinceTheCheck) {
  struct Case {
    const char* item;
    std::function<void(const TempDir&)> meanwhile;  // after the check, before Fix
    std::vector<std::pair<std::string, std::string>> moves;
    const char* refusal;  // "" when the fix goes ahead; else the error's text below the game
    std::vector<std::pair<std::string, std::string>> undone;  // Undo of the recorded rename
    bool linuxOnly = false;  // names that differ in letter case alone
  };
  const std::vector<Case> cases = {
      {"Kestrel", nullptr, {{"levels/Kestrel", "levels/kestrel"}}, "",
       {{"levels/kestrel", "levels/Kestrel"}, {"levels/Kestrel/kestrel.inf", "levels/Kestrel/Kestrel.inf"}}},
      // Undo gives the whole level the other name: a rename of the level, file set and all.
      {"Hawk", nullptr,
       {{"levels/Hawk/Old.W", "levels/Hawk/Hawk.w"}, {"levels/Hawk/Old.cam", "levels/Hawk/Hawk.cam"},
        {"levels/Hawk/Olda.bmp", "levels/Hawk/Hawka.bmp"}},
       "",
       {{"levels/Hawk", "levels/Old"}, {"levels/Old/Hawk.inf", "levels/Old/Old.inf"}, {"levels/Old/Hawk.w", "levels/Old/Old.w"},
        {"levels/Old/Hawk.cam", "levels/Old/Old.cam"}, {"levels/Old/Hawka.bmp", "levels/Old/Olda.bmp"}}},
      {"Kestrel", [](const TempDir& g) { makeDirs(g / "levels/KESTREL"); }, {},
       "Cannot fix: the name kestrel is taken by {}/levels/KESTREL", {}, true},
      {"Hawk", [](const TempDir& g) { writeFile(g / "levels/Hawk/hawk.CAM", "mine"); }, {},
       "Cannot fix: the name Hawk.cam is taken by {}/levels/Hawk/hawk.CAM"},
      {"Hawk", [](const TempDir& g) { std::remove((g / "levels/Hawk/Olda.bmp").c_str()); }, {},
       "Cannot fix: {}/levels/Hawk/Olda.bmp is no longer there"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item + std::string(" ") + c.refusal);
    if (c.linuxOnly && !test::kOnLinux) {
      std::cout << "skipped (Linux only: names in two letter cases): " << c.refusal << "\n";
      continue;
    }
    TempDir game;
    buildGame(game);
    const CheckProblem problem = problemOf(checkGame(game.path(), checkPictureDecoders()), c.item);
    ASSERT_TRUE(problem.fix);
    if (c.meanwhile) c.meanwhile(game);
    const auto before = treeSnapshot(game.path());
    std::string refusal = c.refusal;
    if (const auto at = refusal.find("{}"); at != std::string::npos) refusal.replace(at, 2, game.path());
    EXPECT_EQ(errorOf([&] { applyFix(*problem.fix); }), refusal);
    EXPECT_EQ(treeSnapshot(game.path()), moved(before, c.moves));
    if (!refusal.empty()) continue;
    // Fixed: the item is clean now, and the history names the level's rename.
    for (const CheckProblem& left : checkGame(game.path(), checkPictureDecoders())) EXPECT_NE(left.name, c.item);
    const auto fixed = treeSnapshot(game.path());
    HistoryAction action;
    action.kind = HistoryActionKind::Rename;
    action.items = {problem.fix->record};
    EXPECT_TRUE(undoAction(action).complete(action));
    EXPECT_EQ(treeSnapshot(game.path()), moved(fixed, c.undone));
  }
}
