// The game directory: its change handling, which fans the new folder out to every page, and the
// preset file that remembers it between runs.
#include <QTreeWidget>
#include <exception>

#include "platform/ByteText.h"
#include "platform/DirectoryListBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/PathLabel.h"
#include "platform/Paths.h"
#include "shell/Preset.h"
#include "shell/Unit1.h"

namespace pitkit {

void TForm1::DirectoryListBox1Change() {
  auto& c = changeDirectoryUi;
  // 1. Nothing can be saved, viewed or opened until the new folder is known to be usable.
  c.BitBtn12->setEnabled(false);
  levelOrganizerUi.inffile1->setEnabled(false);
  levelOrganizerUi.viewreadme->setEnabled(false);
  // 2. The organizer lists belong to the old folder.
  levelOrganizerUi.FoundFiles->clear();
  levelOrganizerUi.FoundFiles2->clear();
  carOrganizerUi.Foundfiles3->clear();
  carOrganizerUi.foundfiles4->clear();
  // 3, 4.
  GameDirectory = c.DirectoryListBox1->Directory();
  const QString shown = QString::fromStdString(GameDirectory);
  renamerUi.StaticText2->setPath(shown);
  levelOrganizerUi.StaticText3->setText(shown);
  carOrganizerUi.StaticText4->setText(shown);
  // 5. A game directory is usable exactly when it has a levels folder.
  const std::string levels = GameDirectory + PathDelim + "levels";
  const bool usable = directoryExists(levels);
  renamerUi.BitBtn2->setEnabled(usable);
  levelOrganizerUi.Findbutton->setEnabled(usable);
  carOrganizerUi.FindButton2->setEnabled(usable);
  // A folder name may hold "?" or "*", which a search folder refuses. The organizers then cannot
  // search this folder (and must not search the old one for it); the rest of the handling still
  // runs so that the renamer works on the folder shown, and the refusal is shown at the end.
  std::exception_ptr searchFolderRefused;
  if (usable) {
    c.BitBtn12->setEnabled(true);
    try {
      FindFile.setLocation(GameDirectory + PathDelim + "levels" + PathDelim);
      FindFile2.setLocation(GameDirectory + PathDelim + "un_levels" + PathDelim);
      FindFile3.setLocation(GameDirectory + PathDelim + "cars" + PathDelim);
      FindFile4.setLocation(GameDirectory + PathDelim + "garage" + PathDelim);
    } catch (const std::exception&) {
      levelOrganizerUi.Findbutton->setEnabled(false);
      carOrganizerUi.FindButton2->setEnabled(false);
      searchFolderRefused = std::current_exception();
    }
  }
  // 6. The renamer's paths follow the new folder.
  OldLevelPath = levels + PathDelim + byteText(renamerUi.OName);
  NewLevelPath = levels + PathDelim + byteText(renamerUi.NName);
  // 7, 8. The levels and cars lists; a folder that is missing leaves its list as it was.
  if (directoryExists(levels)) {
    renamerUi.DirectoryListBox2->setDirectory(levels);
    c.DirectoryListBox3->setDirectory(levels);
  }
  const std::string cars = GameDirectory + PathDelim + "cars";
  if (directoryExists(cars)) c.DirectoryListBox4->setDirectory(cars);
  if (searchFolderRefused) std::rethrow_exception(searchFolderRefused);
}

void TForm1::loadPreset() {
  // The preset file lies in the start-up folder, the game directory of step 1 of FormCreate.
  const std::string startFolder = GameDirectory;
  // A start-up folder that is gone (removed while the program was starting) has no name: the
  // preset would otherwise be looked for, and written, at the top of the file system.
  if (startFolder.empty()) throw EInOutError(2);
  const std::string path = startFolder + PathDelim + kPresetFileName;
  // Until the file says otherwise the preset belongs to the start folder, also when creating or
  // opening it fails below.
  PresetFolder = startFolder;
  if (!fileExists(path) && !directoryExists(path)) writePreset(path, startFolder, startFolder);

  std::exception_ptr readFailure;
  const PresetLines lines = readPresetLines(path, readFailure);  // an open failure ends start-up here
  PresetFolder = removeKey(lines.first, kPresetFolderKey);
  // Without a usable folder on line 1 (empty, gone, or a file whose lines end in LF alone, read as
  // one line) a save would have nowhere sensible to go: it goes back to the file that was read.
  if (PresetFolder.empty() || !directoryExists(PresetFolder)) PresetFolder = startFolder;
  GameDirectory = removeKey(lines.second, kPresetGameKey);

  // Opening another folder runs the change handling again; an empty text or the folder already
  // open changes nothing. GameDirectory always ends equal to the folder the list shows.
  auto* list = changeDirectoryUi.DirectoryListBox1;
  try {
    list->setDirectory(GameDirectory);
  } catch (...) {
    GameDirectory = list->Directory();
    throw;
  }
  GameDirectory = list->Directory();
  if (readFailure) std::rethrow_exception(readFailure);
}

void TForm1::BitBtn12Click() {
  // Without a preset folder (the start folder was gone) the file would land at the top of the
  // file system.
  if (PresetFolder.empty()) throw EInOutError(2);
  writePreset(PresetFolder + PathDelim + kPresetFileName, PresetFolder, GameDirectory);
}

}  // namespace pitkit
