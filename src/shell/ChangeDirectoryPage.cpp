#include "shell/ChangeDirectoryPage.h"

#include <QLabel>
#include <QStatusBar>
#include <exception>

#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"
#include "platform/GameDirectory.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "shell/Preset.h"

namespace pitkit {

ChangeDirectoryPage::ChangeDirectoryPage(QWidget* window, Ui::TabSheet6& controls,
                                         GameDirectory& gameDirectory, std::string& presetFolder,
                                         QStatusBar* statusBar)
    : PresetFolder(presetFolder),
      c_(controls),
      gameDirectory_(gameDirectory),
      chooseFolderText_(new QLabel(statusBar)) {
  chooseFolderText_->setObjectName(QStringLiteral("ChooseGameFolderText"));
  chooseFolderText_->setMinimumWidth(1);  // cut in a narrow window rather than widen it
  statusBar->addWidget(chooseFolderText_, 1);
  setUpLook();
  c_.DriveComboBox1->setDirList(c_.DirectoryListBox1);
  QObject::connect(c_.DirectoryListBox1, &TDirectoryListBox::directoryChanged, window,
                   guarded(window, [this] { DirectoryListBox1Change(); }));
  QObject::connect(c_.BitBtn12, &QPushButton::clicked, window, guarded(window, [this] { BitBtn12Click(); }));
  gameDirectory_.listen([this](const std::string& folder) { showGameFolder(folder); });
}

void ChangeDirectoryPage::setUpLook() {
  const QColor green(0, 128, 0);
  for (TDirectoryListBox* list : {c_.DirectoryListBox1, c_.DirectoryListBox3, c_.DirectoryListBox4}) {
    setColour(list, QPalette::Base, green);
    setColour(list, QPalette::Text, Qt::white);
  }
  // The levels and cars lists are displays only.
  c_.DirectoryListBox3->setFocusPolicy(Qt::NoFocus);
  c_.DirectoryListBox4->setFocusPolicy(Qt::NoFocus);
  for (QLabel* label : {c_.Label7, c_.Label14}) setNamedFont(label, QStringLiteral("MS Sans Serif"), 19, true);
  c_.Label2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void ChangeDirectoryPage::DirectoryListBox1Change() {
  // Nothing can be saved until the new folder is known to be usable.
  c_.BitBtn12->setEnabled(false);
  gameDirectory_.change(c_.DirectoryListBox1->Directory());
}

void ChangeDirectoryPage::showGameFolder(const std::string& folder) {
  c_.BitBtn12->setEnabled(gameDirectory_.usable());
  chooseFolderText_->setText(
      gameDirectory_.usable()
          ? QString()
          : QStringLiteral("No game folder is open: choose yours on \"Change Directory\", or with "
                           "File > Find Game Folders..."));
  // A folder that is missing leaves its list as it was.
  const std::string levels = findIgnoringCase(folder, "levels", EntryKind::Folder);
  if (directoryExists(levels)) c_.DirectoryListBox3->setDirectory(levels);
  const std::string cars = findIgnoringCase(folder, "cars", EntryKind::Folder);
  if (directoryExists(cars)) c_.DirectoryListBox4->setDirectory(cars);
}

void ChangeDirectoryPage::loadPreset() {
  std::string& game = gameDirectory_.text();
  // The preset file lies in the start-up folder, the game directory of the first start-up step.
  const std::string startFolder = game;
  // A start-up folder that is gone (removed while the program was starting) has no name: the
  // preset would otherwise be looked for, and written, at the top of the file system.
  if (startFolder.empty()) throw EInOutError(2);
  // Until the file says otherwise the preset belongs to the start folder, also when creating or
  // opening it fails below.
  PresetFolder = startFolder;
  const std::string path = createPresetIfMissing(startFolder);

  std::exception_ptr readFailure;
  const PresetLines lines = readPresetLines(path, readFailure);  // an open failure ends start-up here
  PresetFolder = removeKey(lines.first, kPresetFolderKey);
  // Without a usable folder on line 1 (empty, gone, or a file whose lines end in LF alone, read as
  // one line) a save would have nowhere sensible to go: it goes back to the file that was read.
  if (PresetFolder.empty() || !directoryExists(PresetFolder)) PresetFolder = startFolder;
  game = removeKey(lines.second, kPresetGameKey);

  // Opening another folder runs the change handling again; an empty text or the folder already
  // open changes nothing. The game folder always ends equal to the folder the list shows.
  auto* list = c_.DirectoryListBox1;
  try {
    list->setDirectory(game);
  } catch (...) {
    game = list->Directory();
    throw;
  }
  game = list->Directory();
  if (readFailure) std::rethrow_exception(readFailure);
}

void ChangeDirectoryPage::BitBtn12Click() {
  // Without a preset folder (the start folder was gone) the file would land at the top of the
  // file system.
  if (PresetFolder.empty()) throw EInOutError(2);
  writePreset(findIgnoringCase(PresetFolder, kPresetFileName), PresetFolder, gameDirectory_.path());
}

}  // namespace pitkit
