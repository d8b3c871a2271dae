#pragma once
// The "Level Renamer" page: the two-step rename of a level (GO asks, OK renames, CANCEL
// withdraws) and the level folder's file view (levels list, file list, editor, delete).
#include <functional>
#include <string>

#include "history/History.h"
#include "ui_Unit1LevelRenamer.h"

class QWidget;

namespace pitkit {

class GameDirectory;
class TForm3;
class TForm5;

// The level folder to rename and its new path, kept by the owner of the page.
struct RenamerPaths {
  std::string OldLevelPath;
  std::string NewLevelPath;
};

// The work of the renamer page; the main window's handlers forward to it.
class RenamerPage {
 public:
  RenamerPage(QWidget* window, Ui::TabSheet1& controls, GameDirectory& gameDirectory, RenamerPaths& paths);
  // The info-file editor and the delete confirmation, made after the page.
  void setEditors(TForm3* form3, TForm5* form5);
  // Receives each rename done, for the history of actions.
  void setActionRecorder(std::function<void(const HistoryAction&)> recorder) {
    recorder_ = std::move(recorder);
  }

  // The fields of the paths given.
  std::string& OldLevelPath;
  std::string& NewLevelPath;

  // The info file of the renamed level, as the editor's rename-save writes it.
  std::string renamedInfoFile() const;
  // The window closes: both paths are emptied.
  void forget();

  void ONameChange();
  void NNameChange();
  void BitBtn2Click();
  void bitbtn1Click();
  void BitBtn3Click();
  void DirectoryListBox2Change();
  void DirectoryListBox2Click();
  void CheckBox3Click();
  void FileListBox1DblClick();

 private:
  void setUpControls(QWidget* window);
  // Raises the error of an old or new name that is not one plain folder name of levels.
  void checkNames(bool emptyNewNameAllowed) const;
  void followGameFolder(const std::string& folder);

  Ui::TabSheet1& r_;
  GameDirectory& game_;
  TForm3* form3_ = nullptr;
  TForm5* form5_ = nullptr;
  std::function<void(const HistoryAction&)> recorder_;
};

}  // namespace pitkit
