#include "organizers/LevelSide.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include "game/GameItems.h"
#include "game/InfoFile.h"
#include "organizers/OrganizerList.h"
#include "game/StockTables.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/GameDirectory.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/PictureBox.h"
#include "platform/ShellOpen.h"

namespace pitkit {

namespace {

constexpr int kLevelNameTypingLimit = 27;

// The picture the preview shows until a level is selected: drawn here, a track on a lawn.
QPixmap defaultPreview() {
  // Drawn at the screen's device pixels, so that it is sharp on a scaled screen.
  const qreal ratio = qGuiApp->devicePixelRatio();
  QPixmap picture(QSize(160, 120) * ratio);
  picture.setDevicePixelRatio(ratio);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 120);
  sky.setColorAt(0, QColor(120, 170, 230));
  sky.setColorAt(0.45, QColor(200, 225, 245));
  sky.setColorAt(0.46, QColor(70, 140, 60));
  sky.setColorAt(1, QColor(40, 100, 40));
  painter.fillRect(picture.rect(), sky);
  painter.setPen(QPen(QColor(90, 90, 90), 14));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QRectF(22, 62, 116, 44));
  painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
  painter.drawEllipse(QRectF(22, 62, 116, 44));
  QFont font = painter.font();
  font.setBold(true);
  font.setItalic(true);
  font.setPixelSize(15);
  painter.setFont(font);
  painter.setPen(QColor(30, 40, 90));
  painter.drawText(QRect(0, 10, 160, 30), Qt::AlignCenter, QStringLiteral("Torvane"));
  return picture;
}

}  // namespace

LevelDetails::LevelDetails(QWidget* window, Ui::TabSheet2& controls, GameDirectory& gameDirectory,
                           LevelSelection& selection)
    : SelectedLevelFolder(selection.SelectedLevelFolder),
      SelectedLevelInfoFile(selection.SelectedLevelInfoFile),
      u_(controls),
      game_(gameDirectory) {
  u_.Image2->setPixmap(defaultPreview());
  QObject::connect(u_.viewreadme, &QPushButton::clicked, window, guarded(window, [this] { viewreadmeClick(); }));
  QObject::connect(u_.inffile1, &QPushButton::clicked, window, guarded(window, [this] { inffile1Click(); }));
}

void LevelDetails::withdraw() {
  u_.viewreadme->setEnabled(false);
  u_.inffile1->setEnabled(false);
}

void LevelDetails::show(const std::string& caption, const std::string& infoFile, bool uninstalled) {
  // The level's folder and info file as the game finds them, in whatever letter case they have.
  const std::string infoPath =
      findIgnoringCase(game_.sub(uninstalled ? "un_levels" : "levels"), caption + PathDelim + infoFile, EntryKind::File);
  const std::string levelFolder = extractFilePath(infoPath);
  // Read first: when the info file cannot be read, nothing else of the details changes.
  const std::string name = readLevelDisplayName(infoPath);
  if (uninstalled)
    showName(u_.lvlname2, QString::fromStdString(name), 0);
  else
    showName(u_.Edit4, QString::fromStdString(name), kLevelNameTypingLimit);
  SelectedLevelFolder = levelFolder;
  SelectedLevelInfoFile = extractFileName(infoPath);
  u_.inffile1->setEnabled(true);
  u_.viewreadme->setEnabled(fileExists(findIgnoringCase(levelFolder, "readme.txt", EntryKind::File)));
  const std::string gfx = game_.sub("gfx");
  const std::string preview = findIgnoringCase(gfx, caption + ".bmp", EntryKind::File);
  loadBitmapInto(u_.Image2, fileExists(preview) ? preview : findIgnoringCase(gfx, "pellmoor.bmp", EntryKind::File));
}

void LevelDetails::viewreadmeClick() {
  shellOpen(extractFileName(findIgnoringCase(SelectedLevelFolder, "readme.txt", EntryKind::File)), SelectedLevelFolder);
}

void LevelDetails::inffile1Click() { shellOpen(SelectedLevelInfoFile, SelectedLevelFolder); }

OrganizerSide levelSide(Ui::TabSheet2& u, TFindFile& FindFile, TFindFile& FindFile2, LevelDetails& details) {
  return {.installedFolder = "levels",
          .uninstalledFolder = "un_levels",
          .fileMask = "*.inf",
          .marker = itemMarks(ItemKind::Level).marker,
          .installedSearch = FindFile,
          .uninstalledSearch = FindFile2,
          .installedList = u.FoundFiles,
          .uninstalledList = u.FoundFiles2,
          .goButton = u.Findbutton,
          .uninstallButton = u.BitBtn4,
          .installButton = u.BitBtn6,
          .deleteInstalledButton = u.BitBtn5,
          .deleteUninstalledButton = u.BitBtn7,
          .installedCount = u.Edit2,
          .uninstalledCount = u.Edit3,
          .totalCount = u.Edit1,
          .stockCount = kStockLevelCount,
          .selectedDirectory = u.StaticText3,
          .selectedDirectoryLabel = u.Label9,
          .nameBoxes = {u.Edit4, u.lvlname2},
          .installedCaption = installedLevelCaption,
          .uninstalledCaption = uninstalledLevelCaption,
          .isStock = [](const std::string&, const std::string& fileName) { return isStockLevelInfoFile(fileName); },
          .details = details,
          .missingInstalledFolderError = "Selected Directory is not a TORVANE Main directory",
          .goSetsSearchFolders = false,
          .filterBox = u.LevelFilter,
          .filterCount = u.LevelFilterCount,
          .readDisplayName = readLevelDisplayName,
          .itemKind = "Level"};
}

void arrangeLevelPage(Ui::TabSheet2& u) {
  for (QTreeWidget* list : {u.FoundFiles, u.FoundFiles2}) {
    list->setHeaderLabels({QStringLiteral("Folder Name")});
    list->setSortingEnabled(false);
  }
  QFont bold = u.StaticText3->font();
  bold.setBold(true);
  u.StaticText3->setFont(bold);
  // The preview grows with the window; its buttons stay beside it and Exit below it.
  new PictureStretcher(u.Image2->parentWidget(), {u.Image2}, {u.viewreadme, u.inffile1}, {u.Button2});
}

}  // namespace pitkit
