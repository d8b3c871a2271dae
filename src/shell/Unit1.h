#pragma once
// TForm1, the main window: every control, the four search components, and the pages that do the
// work. Each handler of the window is a one-line forward to the page that owns it; the pages
// follow the game folder through one GameDirectory.
#include <QMainWindow>
#include <future>
#include <optional>
#include <string>

#include "organizers/CarSide.h"
#include "organizers/LevelSide.h"
#include "organizers/OrganizerPage.h"
#include "platform/GameDirectory.h"
#include "renamer/RenamerPage.h"
#include "search/FindFile.h"
#include "shell/ChangeDirectoryPage.h"
#include "shell/HistoryKeeper.h"
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
  // program's own start): only the frame and the first page ("Cover Display") are made before the
  // window is shown; the other pages, FormCreate and the secondary windows follow once the window
  // has been painted, or before the first input, whichever comes first (finishStartUp).
  enum class StartUp { Whole, FirstPageFirst };

  // Loads the frame and the first page; then (finishStartUp) the other pages, makes the pages'
  // work and runs FormCreate, and creates the secondary windows TForm2, TForm3, TForm5 and TForm6
  // in that order.
  explicit TForm1(QWidget* parent = nullptr, StartUp startUp = StartUp::Whole);
  ~TForm1() override;

  // The window layout: the frame and one part per tab page. The controls of a part not made yet
  // (see StartUp) are null.
  Ui::Form1 ui{};
  Ui::TabSheet6 changeDirectoryUi{};
  Ui::TabSheet1 renamerUi{};
  Ui::TabSheet2 levelOrganizerUi{};
  Ui::TabSheet3 carOrganizerUi{};
  Ui::TabSheet4 programInfoUi{};
  Ui::TabSheet5 coverDisplayUi{};

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
  pitkit::GameDirectory gameDirectory_;
  // The history of actions of the game folder chosen.
  HistoryKeeper history_;
  // The working state, kept here: the pages that use it are made after the first paint. The
  // organizer paths only read the pages' lists.
  std::string presetFolder_;
  RenamerPaths renamerPaths_;
  OrganizerPaths levelPaths_;
  OrganizerPaths carPaths_;
  LevelSelection levelSelection_;
  // The pages' work, made with their controls.
  std::optional<ChangeDirectoryPage> changeDirectoryPage_;
  std::optional<LevelDetails> levelDetails_;
  std::optional<CarDetails> carDetails_;
  std::optional<OrganizerPage> levelPage_;
  std::optional<OrganizerPage> carPage_;
  std::optional<RenamerPage> renamerPage_;
  // A page, made first if the start-up is unfinished, so a handler called early finds it.
  template <typename Page>
  Page& made(std::optional<Page>& page) {
    finishStartUp();
    return *page;
  }

 public:
  // The working state, by its names; each text belongs to the page that uses it. The organizers'
  // transfer paths are read from the row selected in their list whenever they are used.
  std::string& GameDirectory;
  std::string& PresetFolder;
  std::string& OldLevelPath;
  std::string& NewLevelPath;
  SelectedPath& LevelUninstallFrom;
  SelectedPath& LevelUninstallTo;
  SelectedPath& LevelInstallFrom;
  SelectedPath& LevelInstallTo;
  std::string& SelectedLevelFolder;
  std::string& SelectedLevelInfoFile;
  SelectedPath& CarUninstallFrom;
  SelectedPath& CarUninstallTo;
  SelectedPath& CarInstallFrom;
  SelectedPath& CarInstallTo;

  // The organizer pages' work (made first if the start-up is unfinished): archive install shows
  // what it installed through them.
  OrganizerPage& levelOrganizer() { return made(levelPage_); }
  OrganizerPage& carOrganizer() { return made(carPage_); }

  // --- Edit menu and the history of actions ---
  HistoryKeeper& history() { return history_; }
  // "&Undo <action>" (Ctrl+Z): reverses the game's last action; "&History...": lists its actions.
  void Undo1Click();
  void History1Click();
  // Records an Install, Uninstall or Delete of an organizer page (connected to the pages' action
  // recorder).
  std::int64_t recordOrganizerAction(const HistoryAction& action) { return history_.record(action); }
  // Shows in the status bar when and from which archive the selected item was installed, when the
  // history knows; an origin shown before is withdrawn otherwise.
  void showItemOrigin(ItemKind kind, const std::string& name);

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
  void DirectoryListBox1Change() { made(changeDirectoryPage_).DirectoryListBox1Change(); }
  void BitBtn12Click() { made(changeDirectoryPage_).BitBtn12Click(); }
  void loadPreset() { made(changeDirectoryPage_).loadPreset(); }

  // --- Level renamer ---
  void ONameChange() { made(renamerPage_).ONameChange(); }
  void NNameChange() { made(renamerPage_).NNameChange(); }
  void BitBtn2Click() { made(renamerPage_).BitBtn2Click(); }
  void bitbtn1Click() { made(renamerPage_).bitbtn1Click(); }
  void BitBtn3Click() { made(renamerPage_).BitBtn3Click(); }
  void DirectoryListBox2Change() { made(renamerPage_).DirectoryListBox2Change(); }
  void DirectoryListBox2Click() { made(renamerPage_).DirectoryListBox2Click(); }
  void CheckBox3Click() { made(renamerPage_).CheckBox3Click(); }
  void FileListBox1DblClick() { made(renamerPage_).FileListBox1DblClick(); }

  // --- Level organizer ---
  void FindButtonClick() { made(levelPage_).go(); }
  void FindFileNewFolder(TFindFile* s, const std::string& f, bool&) { made(levelPage_).newFolder(s, f); }
  void FindFile2NewFolder(TFindFile* s, const std::string& f, bool&) { made(levelPage_).newFolder(s, f); }
  void FindFileFound(TFindFile* s, const std::string& f, TSearchRec& r) { made(levelPage_).installedFound(s, f, r); }
  void FindFile2Found(TFindFile* s, const std::string& f, TSearchRec& r) { made(levelPage_).uninstalledFound(s, f, r); }
  void FindFileComplete(TFindFile*) { made(levelPage_).installedComplete(); }
  void FindFile2Complete(TFindFile*) { made(levelPage_).uninstalledComplete(); }
  void FoundFilesChange() { made(levelPage_).installedSelectionChange(); }
  void FoundFiles2Change() { made(levelPage_).uninstalledSelectionChange(); }
  void FoundFilesDblClick() { made(levelPage_).installedDoubleClick(); }
  void FoundFiles2DblClick() { made(levelPage_).uninstalledDoubleClick(); }
  void BitBtn4Click() { made(levelPage_).uninstall(); }
  void BitBtn5Click() { made(levelPage_).deleteInstalled(); }
  void BitBtn6Click() { made(levelPage_).install(); }
  void BitBtn7Click() { made(levelPage_).deleteUninstalled(); }
  void viewreadmeClick() { made(levelDetails_).viewreadmeClick(); }
  void inffile1Click() { made(levelDetails_).inffile1Click(); }

  // --- Car organizer ---
  void FindButton2Click() { made(carPage_).go(); }
  void FindFile3NewFolder(TFindFile* s, const std::string& f, bool&) { made(carPage_).newFolder(s, f); }
  void FindFile4NewFolder(TFindFile* s, const std::string& f, bool&) { made(carPage_).newFolder(s, f); }
  void FindFile3Found(TFindFile* s, const std::string& f, TSearchRec& r) { made(carPage_).installedFound(s, f, r); }
  void FindFile4Found(TFindFile* s, const std::string& f, TSearchRec& r) { made(carPage_).uninstalledFound(s, f, r); }
  void FindFile3Complete(TFindFile*) { made(carPage_).installedComplete(); }
  void FindFile4Complete(TFindFile*) { made(carPage_).uninstalledComplete(); }
  void Foundfiles3Change() { made(carPage_).installedSelectionChange(); }
  void foundfiles4Change() { made(carPage_).uninstalledSelectionChange(); }
  void Foundfiles3DblClick() { made(carPage_).installedDoubleClick(); }
  void foundfiles4DblClick() { made(carPage_).uninstalledDoubleClick(); }
  void BitBtn8Click() { made(carPage_).uninstall(); }
  void BitBtn9Click() { made(carPage_).deleteInstalled(); }
  void BitBtn10Click() { made(carPage_).install(); }
  void BitBtn11Click() { made(carPage_).deleteUninstalled(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The frame and the first page, with their look and their pictures.
  void loadFirstPage();
  void setUpFrame();
  // The other pages' controls, their look and their work, then FormCreate.
  void loadOtherPages();
  void makePages();
  void setUpOtherPagesLook();
  // Keyboard use of the pages: focus frames, Enter on lists and buttons.
  void setUpKeyboard();
  // Puts the fixed texts into "Program Info" (once, when the page is first shown).
  void fillProgramInfo();
  bool programInfoFilled_ = false;
  void setMinimumToWholePages();
  void measureMinimumSoon();
  bool minimumSizeSet_ = false;
  bool startUpFinished_ = false;
  // The origin text the status bar shows, to withdraw it when another item is selected.
  QString originShown_;
};

}  // namespace pitkit
