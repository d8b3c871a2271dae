#pragma once
// TForm1, the main window: every control, the four search components, and the pages that do the
// work. Each handler of the window is a one-line forward to the page that owns it; the pages
// follow the game folder through one GameDirectory.
#include <QMainWindow>
#include <future>
#include <string>

#include "organizers/CarSide.h"
#include "organizers/LevelSide.h"
#include "organizers/OrganizerPage.h"
#include "platform/GameDirectory.h"
#include "renamer/RenamerPage.h"
#include "search/FindFile.h"
#include "shell/ChangeDirectoryPage.h"
#include "shell/Pictures.h"
#include "ui_Unit1.h"
#include "ui_Unit1CarOrganizer.h"
#include "ui_Unit1ChangeDirectory.h"
#include "ui_Unit1CoverDisplay.h"
#include "ui_Unit1LevelOrganizer.h"
#include "ui_Unit1LevelRenamer.h"
#include "ui_Unit1ProgramInfo.h"

namespace pitkit {

class TForm2;
class TForm3;
class TForm5;
class TForm6;

// The program's main window: its frame, its controls and the wiring of its pages.
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // How much of the start-up the constructor does. Whole: everything below. FirstPageFirst (the
  // program's own start): only what the first page shows is finished before the window is shown;
  // the fonts of the other pages, the renamer's logo and the secondary windows follow once the
  // window has been painted, or before the first input, whichever comes first (finishStartUp).
  enum class StartUp { Whole, FirstPageFirst };

  // Loads the layout, makes the pages and runs FormCreate; then creates the secondary windows
  // TForm2, TForm3, TForm5 and TForm6 in that order.
  explicit TForm1(QWidget* parent = nullptr, StartUp startUp = StartUp::Whole);
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

 private:
  // The pictures decode while the layout loads; the layout is loaded before any page is made.
  std::future<MainWindowPictures> pictures_;
  struct LayoutLoader {
    LayoutLoader(TForm1& form, StartUp startUp);
  } layoutLoader_;

  pitkit::GameDirectory gameDirectory_;
  ChangeDirectoryPage changeDirectoryPage_;
  LevelDetails levelDetails_;
  CarDetails carDetails_;
  OrganizerPage levelPage_;
  OrganizerPage carPage_;
  RenamerPage renamerPage_;

 public:
  // The working state, by its names; each text belongs to the page that uses it.
  std::string& GameDirectory;
  std::string& PresetFolder;
  std::string& OldLevelPath;
  std::string& NewLevelPath;
  std::string& LevelUninstallFrom;
  std::string& LevelUninstallTo;
  std::string& LevelInstallFrom;
  std::string& LevelInstallTo;
  std::string& SelectedLevelFolder;
  std::string& SelectedLevelInfoFile;
  std::string& CarUninstallFrom;
  std::string& CarUninstallTo;
  std::string& CarInstallFrom;
  std::string& CarInstallTo;

  // --- Frame, game folder and preset ---
  void FormCreate();
  void FormClose();
  void Button1Click() { close(); }
  void Exit1Click() { close(); }
  // Install from Archive...: archives chosen in a file dialog; openArchives: dropped or named ones.
  void InstallFromArchive1Click();
  void openArchives(const QStringList& files);
  // Does what a FirstPageFirst start-up left for later; nothing when the start-up is finished.
  void finishStartUp();
  bool startUpFinished() const { return startUpFinished_; }
  // "Find Game Folders...": the game folders of the compatibility prefixes; the one chosen opens
  // on "Change Directory" as if the user had gone there.
  void FindGames1Click();
  void Help2Click();
  void LevelOrganizer1Click();
  void DirectoryListBox1Change() { changeDirectoryPage_.DirectoryListBox1Change(); }
  void BitBtn12Click() { changeDirectoryPage_.BitBtn12Click(); }
  void loadPreset() { changeDirectoryPage_.loadPreset(); }

  // --- Level renamer ---
  void ONameChange() { renamerPage_.ONameChange(); }
  void NNameChange() { renamerPage_.NNameChange(); }
  void BitBtn2Click() { renamerPage_.BitBtn2Click(); }
  void bitbtn1Click() { renamerPage_.bitbtn1Click(); }
  void BitBtn3Click() { renamerPage_.BitBtn3Click(); }
  void DirectoryListBox2Change() { renamerPage_.DirectoryListBox2Change(); }
  void DirectoryListBox2Click() { renamerPage_.DirectoryListBox2Click(); }
  void CheckBox3Click() { renamerPage_.CheckBox3Click(); }
  void FileListBox1DblClick() { renamerPage_.FileListBox1DblClick(); }

  // --- Level organizer ---
  void FindButtonClick() { levelPage_.go(); }
  void FindFileNewFolder(TFindFile* s, const std::string& f, bool&) { levelPage_.newFolder(s, f); }
  void FindFile2NewFolder(TFindFile* s, const std::string& f, bool&) { levelPage_.newFolder(s, f); }
  void FindFileFound(TFindFile* s, const std::string& f, TSearchRec& r) { levelPage_.installedFound(s, f, r); }
  void FindFile2Found(TFindFile* s, const std::string& f, TSearchRec& r) { levelPage_.uninstalledFound(s, f, r); }
  void FindFileComplete(TFindFile*) { levelPage_.installedComplete(); }
  void FindFile2Complete(TFindFile*) { levelPage_.uninstalledComplete(); }
  void FoundFilesChange() { levelPage_.installedSelectionChange(); }
  void FoundFiles2Change() { levelPage_.uninstalledSelectionChange(); }
  void FoundFilesDblClick() { levelPage_.installedDoubleClick(); }
  void FoundFiles2DblClick() { levelPage_.uninstalledDoubleClick(); }
  void BitBtn4Click() { levelPage_.uninstall(); }
  void BitBtn5Click() { levelPage_.deleteInstalled(); }
  void BitBtn6Click() { levelPage_.install(); }
  void BitBtn7Click() { levelPage_.deleteUninstalled(); }
  void viewreadmeClick() { levelDetails_.viewreadmeClick(); }
  void inffile1Click() { levelDetails_.inffile1Click(); }

  // --- Car organizer ---
  void FindButton2Click() { carPage_.go(); }
  void FindFile3NewFolder(TFindFile* s, const std::string& f, bool&) { carPage_.newFolder(s, f); }
  void FindFile4NewFolder(TFindFile* s, const std::string& f, bool&) { carPage_.newFolder(s, f); }
  void FindFile3Found(TFindFile* s, const std::string& f, TSearchRec& r) { carPage_.installedFound(s, f, r); }
  void FindFile4Found(TFindFile* s, const std::string& f, TSearchRec& r) { carPage_.uninstalledFound(s, f, r); }
  void FindFile3Complete(TFindFile*) { carPage_.installedComplete(); }
  void FindFile4Complete(TFindFile*) { carPage_.uninstalledComplete(); }
  void Foundfiles3Change() { carPage_.installedSelectionChange(); }
  void foundfiles4Change() { carPage_.uninstalledSelectionChange(); }
  void Foundfiles3DblClick() { carPage_.installedDoubleClick(); }
  void foundfiles4DblClick() { carPage_.uninstalledDoubleClick(); }
  void BitBtn8Click() { carPage_.uninstall(); }
  void BitBtn9Click() { carPage_.deleteInstalled(); }
  void BitBtn10Click() { carPage_.install(); }
  void BitBtn11Click() { carPage_.deleteUninstalled(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void loadLayout(bool withRenamerLogo);
  void setUpFrame();
  void setUpInfoPages();
  // Keyboard use of the pages: focus frames, Enter on lists and buttons.
  void setUpKeyboard();
  // Puts the fixed texts into "Program Info" (once, when the page is first shown).
  void fillProgramInfo();
  bool programInfoFilled_ = false;
  void setMinimumToWholePages();
  bool minimumSizeSet_ = false;
  bool startUpFinished_ = false;
};

}  // namespace pitkit
