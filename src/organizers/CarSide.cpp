#include "organizers/CarSide.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include "game/CarFile.h"
#include "game/GameItems.h"
#include "organizers/OrganizerList.h"
#include "game/StockTables.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"
#include "platform/GameDirectory.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/PictureBox.h"

namespace pitkit {

namespace {

const char* const kParametersFile = "parameters.txt";
constexpr int kCarNameTypingLimit = 27;

}  // namespace

CarDetails::CarDetails(Ui::TabSheet3& controls, QLabel* placeholder, GameDirectory& gameDirectory)
    : c_(controls), placeholder_(placeholder), game_(gameDirectory) {}

void CarDetails::show(const std::string& caption, const std::string& parametersFile, bool uninstalled) {
  const std::string carFolder = game_.sub(uninstalled ? "garage" : "cars") + PathDelim + caption;
  // Read first: when the parameter file cannot be read, the name and pictures stay as they were.
  const CarParameters parameters = readCarParameters(findIgnoringCase(carFolder, parametersFile, EntryKind::File));
  if (uninstalled)
    showName(c_.Edit8, QString::fromStdString(parameters.name), 0);
  else
    showName(c_.Edit10, QString::fromStdString(parameters.name), kCarNameTypingLimit);
  // The texture page is named as installed; an uninstalled car's lies in the garage.
  const std::string texturePage =
      uninstalled ? uninstalledTexturePage(parameters.texturePage, caption) : parameters.texturePage;
  c_.Edit11->setText(QString::fromStdString(texturePage));

  const QPixmap placeholder = placeholder_->pixmap();
  const std::string picture = findIgnoringCase(carFolder, caption + ".jpg", EntryKind::File);
  // A picture that cannot be shown ends the handler here: the texture page keeps what it showed.
  if (fileExists(picture))
    loadJpegInto(c_.Image9, picture);
  else if (uninstalled)
    loadBitmapInto(c_.Image9, game_.sub("noavail.bmp"));
  else
    c_.Image9->setPixmap(placeholder);

  // Each part of the texture page's path is found whatever its letter case, as the game finds it.
  const std::string texturePath = findIgnoringCase(game_.path(), gamePathToNative(texturePage), EntryKind::File);
  if (fileExists(texturePath))
    loadBitmapInto(c_.Image3, texturePath);
  else
    c_.Image3->setPixmap(placeholder);
}

OrganizerSide carSide(Ui::TabSheet3& c, TFindFile& FindFile3, TFindFile& FindFile4, CarDetails& details) {
  return {.installedFolder = "cars",
          .uninstalledFolder = "garage",
          .fileMask = kParametersFile,
          .marker = itemMarks(ItemKind::Car).marker,
          .installedSearch = FindFile3,
          .uninstalledSearch = FindFile4,
          .installedList = c.Foundfiles3,
          .uninstalledList = c.foundfiles4,
          .goButton = c.FindButton2,
          .uninstallButton = c.BitBtn8,
          .installButton = c.BitBtn10,
          .deleteInstalledButton = c.BitBtn9,
          .deleteUninstalledButton = c.BitBtn11,
          .installedCount = c.Edit6,
          .uninstalledCount = c.Edit7,
          .totalCount = c.Edit9,
          .stockCount = kStockCarCount,
          .selectedDirectory = c.StaticText4,
          .selectedDirectoryLabel = c.Label17,
          .nameBoxes = {c.Edit10, c.Edit8},
          .installedCaption = [](const GameDirectory& game, const std::string& folder,
                                 const std::string&) { return carCaption(game, "cars", folder); },
          .uninstalledCaption = [](const GameDirectory& game, const std::string& folder,
                                   const std::string&) { return carCaption(game, "garage", folder); },
          .isStock = [](const std::string& caption, const std::string&) { return isStockCarFolder(caption); },
          .details = details,
          .missingInstalledFolderError = nullptr,
          .goSetsSearchFolders = true,
          .filterBox = c.CarFilter,
          .filterCount = c.CarFilterCount,
          .readDisplayName = [](const std::string& path) { return readCarParameters(path).name; },
          .itemKind = "Car",
          .historyKind = ItemKind::Car};
}

void arrangeCarPage(Ui::TabSheet3& c, const QLabel* placeholder, const QWidget* window) {
  QFont counter = window->font();
  counter.setBold(true);
  counter.setItalic(true);
  for (QLineEdit* box : {c.Edit6, c.Edit7, c.Edit9}) {
    box->setFont(counter);
    setColour(box, QPalette::Base, window->palette().color(QPalette::Button));
  }
  c.Image9->setPixmap(placeholder->pixmap());
  c.Image3->setPixmap(placeholder->pixmap());
  // Both pictures grow with the window side by side; the uninstalled name stays over the second
  // one, Exit below them.
  new PictureStretcher(c.Image9->parentWidget(), {c.Image9, c.Image3}, {c.Label27, c.Edit8}, {c.Button3});
}

}  // namespace pitkit
