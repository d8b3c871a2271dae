#pragma once
// TForm1, the main window: every control, the four search components and the working state. Its
// handlers are defined by the subsystem that owns them (src/shell, src/renamer, src/organizers).
#include <QMainWindow>
#include <memory>
#include <string>

#include "organizers/OrganizerSearch.h"
#include "search/FindFile.h"
#include "ui_Unit1.h"
#include "ui_Unit1CarOrganizer.h"
#include "ui_Unit1ChangeDirectory.h"
#include "ui_Unit1CoverDisplay.h"
#include "ui_Unit1LevelOrganizer.h"
#include "ui_Unit1LevelRenamer.h"
#include "ui_Unit1ProgramInfo.h"

class QTreeWidget;

namespace pitkit {

class TForm2;
class TForm3;
class TForm5;
class TForm6;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Loads the layout, wires every handler and runs FormCreate; then creates the secondary windows
  // TForm2, TForm3, TForm5 and TForm6 in that order.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The window layout: the frame and one part per tab page.
  Ui::Form1 ui;
  Ui::TabSheet6 changeDirectoryUi;
  Ui::TabSheet1 renamerUi;
  Ui::TabSheet2 levelOrganizerUi;
  Ui::TabSheet3 carOrganizerUi;
  Ui::TabSheet4 programInfoUi;
  Ui::TabSheet5 coverDisplayUi;

  // The secondary windows, created at start-up and living until the end.
  TForm2* Form2 = nullptr;
  TForm3* Form3 = nullptr;
  TForm5* Form5 = nullptr;
  TForm6* Form6 = nullptr;

  // Search components: installed levels, uninstalled levels, installed cars, uninstalled cars.
  TFindFile FindFile;
  TFindFile FindFile2;
  TFindFile FindFile3;
  TFindFile FindFile4;
  // The running searches of the level and car pages, each with its own stale-search state and
  // event pump.
  OrganizerSearch levelSearch;
  OrganizerSearch carSearch;

  // Working state; all empty at start.
  std::string GameDirectory;
  std::string PresetFolder;
  std::string OldLevelPath;
  std::string NewLevelPath;
  std::string LevelUninstallFrom;
  std::string LevelUninstallTo;
  std::string LevelInstallFrom;
  std::string LevelInstallTo;
  std::string SelectedLevelFolder;
  std::string SelectedLevelInfoFile;
  std::string CarUninstallFrom;
  std::string CarUninstallTo;
  std::string CarInstallFrom;
  std::string CarInstallTo;

  // --- Shell (src/shell) ---
  void FormCreate();
  void FormClose();
  void Button1Click();
  void Exit1Click();
  void Help2Click();
  void LevelOrganizer1Click();
  void DirectoryListBox1Change();
  void BitBtn12Click();
  void loadPreset();

  // --- Level renamer (src/renamer) ---
  void ONameChange();
  void NNameChange();
  void BitBtn2Click();
  void bitbtn1Click();
  void BitBtn3Click();
  void DirectoryListBox2Change();
  void DirectoryListBox2Click();
  void CheckBox3Click();
  void FileListBox1DblClick();

  // --- Level organizer (src/organizers) ---
  void FindButtonClick();
  void FindFileNewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder);
  void FindFile2NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder);
  void FindFileFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void FindFile2Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void FindFileComplete(TFindFile* sender);
  void FindFile2Complete(TFindFile* sender);
  void FoundFilesChange();
  void FoundFiles2Change();
  void FoundFilesDblClick();
  void FoundFiles2DblClick();
  void BitBtn4Click();
  void BitBtn5Click();
  void BitBtn6Click();
  void BitBtn7Click();
  void viewreadmeClick();
  void inffile1Click();
  // The details of a selected level C below `parentFolder`, shared by both lists.
  void showLevelDetails(const std::string& parentFolder, const std::string& caption,
                        const std::string& infoFile, QLineEdit* nameBox, int typingLimit);

  // --- Car organizer (src/organizers) ---
  void FindButton2Click();
  void FindFile3NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder);
  void FindFile4NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder);
  void FindFile3Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void FindFile4Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void FindFile3Complete(TFindFile* sender);
  void FindFile4Complete(TFindFile* sender);
  void Foundfiles3Change();
  void foundfiles4Change();
  void Foundfiles3DblClick();
  void foundfiles4DblClick();
  void BitBtn8Click();
  void BitBtn9Click();
  void BitBtn10Click();
  void BitBtn11Click();

  // --- Steps both organizer pages share (src/organizers) ---
  enum class Organizer { Levels, Cars };
  // The move of Install and Uninstall, and the confirmed delete, each followed by the page's Go.
  void moveOrganizerFolder(Organizer organizer, std::string from, std::string to, const char* verb);
  void deleteOrganizerFolder(Organizer organizer, QTreeWidget* list, std::string folder);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Each subsystem connects its own controls' signals to its handlers (through the error box
  // wrapper) and sets up its controls beyond the layout.
  void setUpShell();
  void setUpChangeDirectoryPage();
  void setUpCarOrganizerPage();
  void setUpInfoPages();
  // Keyboard use of the pages: focus frames, Enter on lists and buttons.
  void setUpKeyboard();
  // Puts the fixed texts into "Program Info" (once, when the page is first shown).
  void fillProgramInfo();
  bool programInfoFilled_ = false;
  void setUpRenamer();
  void setUpLevelOrganizerLook();
  void setUpLevelOrganizer();
  void setUpCarOrganizer();
  // The name, picture and texture page of a car selected in either list (`uninstalled` for garage),
  // read from the parameter file the search found (its name may be spelt PARAMETERS.TXT).
  void showCarDetails(const std::string& caption, const std::string& parametersFile,
                      bool uninstalled);
};

}  // namespace pitkit
