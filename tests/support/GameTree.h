#pragma once
// Builds the game trees the window tests open, in a temporary folder: levels with their marked
// info files, cars with their parameter files, the game's pictures (BMP and JPEG), and the
// uninstalled folders, each in a line.
#include <QColor>
#include <memory>
#include <string>

#include "shell/Unit1.h"
#include "support/GameFiles.h"
#include "support/TempDir.h"

namespace pitkit::test {

// A BMP picture of one colour, `size` pixels square, with its missing folders; written through
// the raw bytes of the path, so names that are not UTF-8 work.
void writeBitmap(const std::string& path, int size, QColor colour);
// A JPEG picture of one colour, 32 x 24 pixels.
void writeJpeg(const std::string& path, QColor colour);

// A game tree in a temporary folder; a path below it is `game / "levels/x"`.
struct GameTree {
  TempDir tmp;
  std::string dir = realPath(tmp.path());

  std::string operator/(const std::string& rel) const { return dir + "/" + rel; }

  GameTree& folder(const std::string& rel);
  GameTree& file(const std::string& rel, const std::string& bytes);
  // A level folder `rel` (levels/mytrack) with its info file named after the folder.
  GameTree& level(const std::string& rel, const std::string& name);
  // A car folder `rel` (cars/mycar) with its parameters.txt.
  GameTree& car(const std::string& rel, const std::string& name, const char* texturePage = nullptr);
  GameTree& bitmap(const std::string& rel, int size, QColor colour);

  // The organizer pages' game: levels and cars folders, the fallback level preview
  // gfx/pellmoor.bmp (blue, 16 pixels) and the uninstalled car picture noavail.bmp (magenta, 8).
  GameTree& organizerGame();

  // The main window started in this folder; shown and active for input through the window.
  std::unique_ptr<TForm1> open() const;
  std::unique_ptr<TForm1> openShown() const;
};

// A game tree made as organizerGame() makes it.
struct OrganizerGame : GameTree {
  OrganizerGame() { organizerGame(); }
};

// The preset file Pitkit.ini as the program writes it: its own folder, then the game directory.
inline std::string presetBytes(const std::string& presetFolder, const std::string& game) {
  return "PitkitDirectory:" + presetFolder + "\r\nTorvaneDirectory:" + game + "\r\n";
}

// A usable game directory at `folder`: levels/track1, and cars/car1 unless `withCars` is false.
void makeGameFolders(const std::string& folder, bool withCars = true);

}  // namespace pitkit::test
