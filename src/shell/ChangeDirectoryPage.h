#pragma once
// The "Change Directory" page: the choice of the game folder, the display of its levels and cars
// folders, and the preset file that remembers the folder between runs.
#include <string>

#include "ui_Unit1ChangeDirectory.h"

class QLabel;
class QStatusBar;
class QWidget;

namespace pitkit {

class GameDirectory;

// Owns the folder choice: a change of the folder list becomes a change of the game folder.
class ChangeDirectoryPage {
 public:
  // `presetFolder` is kept by the owner of the page. While no game folder is open, `statusBar`
  // says how to choose one.
  ChangeDirectoryPage(QWidget* window, Ui::TabSheet6& controls, GameDirectory& gameDirectory,
                      std::string& presetFolder, QStatusBar* statusBar);

  // The folder that holds the preset file; set by loadPreset.
  std::string& PresetFolder;

  // The folder list opened another folder: every page follows it.
  void DirectoryListBox1Change();
  // Reads the preset file of the start-up folder (creating it when missing) and opens the game
  // folder it names.
  void loadPreset();
  // "Save Directory as Preset".
  void BitBtn12Click();

 private:
  void setUpLook();
  // The levels and cars lists and the save button follow the new folder.
  void showGameFolder(const std::string& folder);

  Ui::TabSheet6& c_;
  GameDirectory& gameDirectory_;
  // A normal item of the status bar: the hints of the controls cover it while they show, and it
  // comes back when they go.
  QLabel* chooseFolderText_;
};

}  // namespace pitkit
