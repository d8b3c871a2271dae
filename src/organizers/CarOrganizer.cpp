// The "Car Organizer" page of TForm1: the searches for installed and uninstalled cars, their lists
// and counters, the name, picture and texture page of a selected car, and Install, Uninstall and
// Delete, which are the level page's own steps.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include "organizers/CarFile.h"
#include "organizers/OrganizerPage.h"
#include "organizers/StockTables.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PictureBox.h"
#include "platform/ShellOpen.h"
#include "shell/Unit1.h"

namespace pitkit {

namespace {

const char* const kParametersFile = "parameters.txt";
const char* const kParametersMarker = "; Model Filenames";
constexpr int kCarNameTypingLimit = 27;

// The caption of a car folder found below `parent`: its path relative to that folder. A
// parameters.txt lying in cars or garage itself (or, from a stale search, anywhere else) gives no
// caption, so that no action can ever be offered on the whole folder.
std::string carCaption(const std::string& gameDirectory, const char* parent,
                       const std::string& folder) {
  if (!isBelowGameFolder(folder, gameDirectory, parent)) return {};
  const std::string caption = relativePath(subFolder(gameDirectory, parent), folder);
  return caption.starts_with(".." + PathDelimStr) ? std::string() : caption;
}

}  // namespace

void TForm1::setUpCarOrganizer() {
  auto& c = carOrganizerUi;
  for (TFindFile* search : {&FindFile3, &FindFile4}) {
    search->setFilename(kParametersFile);
    search->setContaining(kParametersMarker);
  }
  FindFile3.OnNewFolder = [this](TFindFile* s, const std::string& f, bool& i) {
    FindFile3NewFolder(s, f, i);
  };
  FindFile4.OnNewFolder = [this](TFindFile* s, const std::string& f, bool& i) {
    FindFile4NewFolder(s, f, i);
  };
  FindFile3.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) {
    FindFile3Found(s, f, r);
  };
  FindFile4.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) {
    FindFile4Found(s, f, r);
  };
  FindFile3.OnComplete = [this](TFindFile* s) { FindFile3Complete(s); };
  FindFile4.OnComplete = [this](TFindFile* s) { FindFile4Complete(s); };

  connect(c.FindButton2, &QPushButton::clicked, this,
          guarded(this, [this] { FindButton2Click(); }));
  connect(c.Foundfiles3, &QTreeWidget::itemSelectionChanged, this,
          guarded(this, [this] { Foundfiles3Change(); }));
  connect(c.foundfiles4, &QTreeWidget::itemSelectionChanged, this,
          guarded(this, [this] { foundfiles4Change(); }));
  new ListDoubleClick(c.Foundfiles3, guarded(this, [this] { Foundfiles3DblClick(); }));
  new ListDoubleClick(c.foundfiles4, guarded(this, [this] { foundfiles4DblClick(); }));
  connect(c.BitBtn8, &QPushButton::clicked, this, guarded(this, [this] { BitBtn8Click(); }));
  connect(c.BitBtn9, &QPushButton::clicked, this, guarded(this, [this] { BitBtn9Click(); }));
  connect(c.BitBtn10, &QPushButton::clicked, this, guarded(this, [this] { BitBtn10Click(); }));
  connect(c.BitBtn11, &QPushButton::clicked, this, guarded(this, [this] { BitBtn11Click(); }));
}

void TForm1::FindButton2Click() {
  // As on the level page: a search already running finishes on its own.
  if (FindFile3.Busy() || FindFile4.Busy()) return;
  FindFile3.setLocation(GameDirectory + PathDelim + "cars");
  FindFile4.setLocation(GameDirectory + PathDelim + "garage");
  OrganizerPage page = organizerPage(*this, Organizer::Cars);
  runOrganizerSearches(*this, page);
}

void TForm1::FindFile3NewFolder(TFindFile* sender, const std::string& folder, bool&) {
  if (carSearch.stopIfStale(sender, GameDirectory)) return;
  carSearch.newFolder(ui.StatusBar1, folder);
}

void TForm1::FindFile4NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder) {
  FindFile3NewFolder(sender, folder, ignoreFolder);
}

void TForm1::FindFile3Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (carSearch.stopIfStale(sender, GameDirectory)) return;
  const std::string caption = carCaption(GameDirectory, "cars", folder);
  if (caption.empty() || isStockCarFolder(caption)) return;
  addOrganizerItem(carSearch, carOrganizerUi.Foundfiles3, caption, folder, fileInfo.Name);
  carSearch.pump(ui.StatusBar1);
}

void TForm1::FindFile4Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (carSearch.stopIfStale(sender, GameDirectory)) return;
  const std::string caption = carCaption(GameDirectory, "garage", folder);
  if (caption.empty()) return;
  addOrganizerItem(carSearch, carOrganizerUi.foundfiles4, caption, folder, fileInfo.Name);
  carSearch.pump(ui.StatusBar1);
}

void TForm1::FindFile3Complete(TFindFile*) {
  carSearch.flush(ui.StatusBar1);
  if (carSearch.isStale(GameDirectory)) return;
  const int installed = carOrganizerUi.Foundfiles3->topLevelItemCount();
  carOrganizerUi.Edit6->setText(countText(installed));
  carOrganizerUi.Edit9->setText(countText(installed + kStockCarCount));
}

void TForm1::FindFile4Complete(TFindFile*) {
  carSearch.flush(ui.StatusBar1);
  if (carSearch.isStale(GameDirectory)) return;
  carOrganizerUi.FindButton2->setEnabled(true);
  carOrganizerUi.Edit7->setText(countText(carOrganizerUi.foundfiles4->topLevelItemCount()));
}

void TForm1::Foundfiles3Change() {
  QTreeWidgetItem* item = selectedItem(carOrganizerUi.Foundfiles3);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  CarUninstallFrom = subFolder(GameDirectory, "cars") + caption;
  CarUninstallTo = subFolder(GameDirectory, "garage") + caption;
  showCarDetails(caption, itemFileName(item), false);
}

void TForm1::foundfiles4Change() {
  QTreeWidgetItem* item = selectedItem(carOrganizerUi.foundfiles4);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  CarInstallFrom = subFolder(GameDirectory, "garage") + caption;
  CarInstallTo = subFolder(GameDirectory, "cars") + caption;
  showCarDetails(caption, itemFileName(item), true);
}

void TForm1::showCarDetails(const std::string& caption, const std::string& parametersFile,
                            bool uninstalled) {
  auto& c = carOrganizerUi;
  const std::string carFolder =
      subFolder(GameDirectory, uninstalled ? "garage" : "cars") + caption + PathDelim;
  // Read first: when the parameter file cannot be read, the name and pictures stay as they were.
  const CarParameters parameters = readCarParameters(carFolder + parametersFile);
  if (uninstalled)
    showName(c.Edit8, QString::fromStdString(parameters.name), 0);
  else
    showName(c.Edit10, QString::fromStdString(parameters.name), kCarNameTypingLimit);
  // The texture page is named as installed; an uninstalled car's lies in the garage.
  const std::string texturePage = uninstalled
                                      ? uninstalledTexturePage(parameters.texturePage, caption)
                                      : parameters.texturePage;
  c.Edit11->setText(QString::fromStdString(texturePage));

  const QPixmap placeholder = ui.Image10->pixmap();
  const std::string picture = carFolder + caption + ".jpg";
  // A picture that cannot be shown ends the handler here: the texture page keeps what it showed.
  if (fileExists(picture))
    loadJpegInto(c.Image9, picture);
  else if (uninstalled)
    loadBitmapInto(c.Image9, GameDirectory + PathDelim + "noavail.bmp");
  else
    c.Image9->setPixmap(placeholder);

  const std::string texturePath = GameDirectory + PathDelim + gamePathToNative(texturePage);
  if (fileExists(texturePath))
    loadBitmapInto(c.Image3, texturePath);
  else
    c.Image3->setPixmap(placeholder);
}

void TForm1::Foundfiles3DblClick() {
  if (QTreeWidgetItem* item = selectedItem(carOrganizerUi.Foundfiles3))
    shellOpen(itemFileName(item), itemFolder(item));
}

void TForm1::foundfiles4DblClick() {
  if (QTreeWidgetItem* item = selectedItem(carOrganizerUi.foundfiles4))
    shellOpen(itemFileName(item), itemFolder(item));
}

void TForm1::BitBtn8Click() {
  moveOrganizerFolder(Organizer::Cars, CarUninstallFrom, CarUninstallTo, "Uninstalling");
}

void TForm1::BitBtn10Click() {
  moveOrganizerFolder(Organizer::Cars, CarInstallFrom, CarInstallTo, "Installing");
}

void TForm1::BitBtn9Click() {
  deleteOrganizerFolder(Organizer::Cars, carOrganizerUi.Foundfiles3, CarUninstallFrom);
}

void TForm1::BitBtn11Click() {
  deleteOrganizerFolder(Organizer::Cars, carOrganizerUi.foundfiles4, CarInstallFrom);
}

}  // namespace pitkit
