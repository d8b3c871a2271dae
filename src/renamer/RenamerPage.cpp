#include "renamer/RenamerPage.h"

#include <QKeySequence>
#include <QLabel>
#include <QPalette>
#include <QShortcut>
#include <algorithm>

#include "platform/ByteText.h"
#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "platform/FocusFrame.h"
#include "platform/Fonts.h"
#include "platform/GameDirectory.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "renamer/LevelRename.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"

namespace pitkit {
namespace {

// The names in the boxes as bytes: a level folder's name need not be UTF-8.
std::string textOf(const QLineEdit* edit) { return byteText(edit); }

// Writes the status text. The text grows downwards with its lines, over the logo and up to the
// bottom of its frame, so a long question or outcome is not cut off.
void showStatus(Ui::TabSheet1& r, const QString& text) {
  QLabel* status = r.StaticText1;
  status->setText(text);
  const int room = r.Bevel4->geometry().bottom() - 3 - status->y();
  const int needed = status->heightForWidth(status->width());
  const int least = status->minimumHeight();
  status->resize(status->width(), std::clamp(needed, least, std::max(room, least)));
  // Grown over the logo, the text gets a plain background of its own.
  status->setAutoFillBackground(status->height() > least);
  status->raise();
}

}  // namespace

RenamerPage::RenamerPage(QWidget* window, Ui::TabSheet1& controls, GameDirectory& gameDirectory,
                         RenamerPaths& paths)
    : OldLevelPath(paths.OldLevelPath), NewLevelPath(paths.NewLevelPath), r_(controls), game_(gameDirectory) {
  setUpControls(window);
  game_.listen([this](const std::string& folder) { followGameFolder(folder); });
}

void RenamerPage::setEditors(TForm3* form3, TForm5* form5) {
  form3_ = form3;
  form5_ = form5;
}

void RenamerPage::followGameFolder(const std::string& folder) {
  r_.StaticText2->setPath(nameText(folder));
  r_.BitBtn2->setEnabled(game_.usable());
  // The paths follow the new folder.
  ONameChange();
  NNameChange();
  // The levels list opens the game's levels folder; a folder that is missing leaves it as it was.
  const std::string levels = game_.sub("levels");
  if (directoryExists(levels)) r_.DirectoryListBox2->setDirectory(levels);
}

std::string RenamerPage::renamedInfoFile() const {
  return findIgnoringCase(NewLevelPath, textOf(r_.NName) + ".inf", EntryKind::File);
}

void RenamerPage::forget() {
  OldLevelPath.clear();
  NewLevelPath.clear();
}

void RenamerPage::setUpControls(QWidget* window) {
  auto& r = r_;
  r.DirectoryListBox2->setFileList(r.FileListBox1);
  r.FileListBox1->setFileEdit(r.filedisp);

  const QColor brightGreen(0x00, 0xFF, 0x00);
  setCaptionColour(r.BitBtn2, brightGreen);
  setCaptionColour(r.bitbtn1, brightGreen);
  setCaptionColour(r.BitBtn3, Qt::red);
  applySelectedDirectoryLook(r.Label3);
  setColour(r.CheckBox2, QPalette::WindowText, Qt::red);
  setColour(r.filedisp, QPalette::Text, Qt::red);
  setColour(r.OName, QPalette::Base, Qt::white);
  // The levels folder list and the file list are green, like every folder list.
  for (QWidget* list : std::initializer_list<QWidget*>{r.DirectoryListBox2, r.FileListBox1}) {
    setColour(list, QPalette::Base, QColor(0, 128, 0));
    setColour(list, QPalette::Text, Qt::white);
  }
  // The status text never shrinks below its place in the layout.
  r.StaticText1->setMinimumHeight(r.StaticText1->height());

  QObject::connect(r.OName, &QLineEdit::textChanged, window, guarded(window, [this] { ONameChange(); }));
  QObject::connect(r.NName, &QLineEdit::textChanged, window, guarded(window, [this] { NNameChange(); }));
  QObject::connect(r.BitBtn2, &QPushButton::clicked, window, guarded(window, [this] { BitBtn2Click(); }));
  QObject::connect(r.bitbtn1, &QPushButton::clicked, window, guarded(window, [this] { bitbtn1Click(); }));
  QObject::connect(r.BitBtn3, &QPushButton::clicked, window, guarded(window, [this] { BitBtn3Click(); }));
  QObject::connect(r.DirectoryListBox2, &TDirectoryListBox::directoryChanged, window,
                   guarded(window, [this] { DirectoryListBox2Change(); }));
  QObject::connect(r.DirectoryListBox2, &QListWidget::itemClicked, window,
                   guarded(window, [this] { DirectoryListBox2Click(); }));
  QObject::connect(r.CheckBox3, &QCheckBox::toggled, window, guarded(window, [this] { CheckBox3Click(); }));
  QObject::connect(r.FileListBox1, &TFileListBox::dblClick, window,
                   guarded(window, [this] { FileListBox1DblClick(); }));

  // GO is the tab's cancel button: Escape presses it. A window-wide shortcut owned by GO only
  // fires while GO is visible and enabled, that is while this tab shows and a game is chosen.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), r.BitBtn2);
  escape->setContext(Qt::WindowShortcut);
  QObject::connect(escape, &QShortcut::activated, r.BitBtn2, &QPushButton::click);
}


void RenamerPage::ONameChange() { OldLevelPath = game_.subWithDelim("levels") + textOf(r_.OName); }

void RenamerPage::NNameChange() { NewLevelPath = game_.subWithDelim("levels") + textOf(r_.NName); }

void RenamerPage::checkNames(bool emptyNewNameAllowed) const {
  // Either name could be a path ("../evil", "sub/name" from the levels list): only plain folder
  // names pass, so the rename stays inside levels.
  const std::string levels = game_.sub("levels");
  checkLevelName(levels, textOf(r_.OName));
  const std::string newName = textOf(r_.NName);
  if (!(emptyNewNameAllowed && newName.empty())) checkLevelName(levels, newName);
}

void RenamerPage::BitBtn2Click() {
  // The empty new name is left to the check below: it names levels itself, which exists.
  checkNames(true);
  const std::string newName = textOf(r_.NName);
  // Where letter case does not count, a level named so in another case takes the name too.
  const std::string levels = game_.sub("levels");
  const std::string exact = levels + PathDelim + newName;
  const std::string taken = takenPath(levels, newName);
  if (directoryExists(exact) || (!taken.empty() && taken != exact))
    throw Exception("Level: " + newName + " already exists!");
  r_.bitbtn1->setVisible(true);
  r_.BitBtn3->setVisible(true);
  showStatus(r_, QStringLiteral("Are you sure you want to rename: ") +
                            r_.OName->text() + QStringLiteral(" To: ") +
                            r_.NName->text());
}

void RenamerPage::bitbtn1Click() {
  auto& r = r_;
  // The names may have changed since GO: a refusal leaves the question standing.
  checkNames(false);
  // OK hides itself: the focus goes to the levels list, which shows the renamed level.
  const KeepFocus keepFocus(r.DirectoryListBox2);
  // The names are read now: NName may have been edited since GO asked.
  const std::string oldName = textOf(r.OName);
  const std::string newName = textOf(r.NName);
  const LevelRenameResult result = renameLevel(OldLevelPath, NewLevelPath, oldName, newName);

  r.bitbtn1->setVisible(false);
  r.BitBtn3->setVisible(false);
  if (!result.folderMoved || !directoryExists(NewLevelPath)) {
    showStatus(r, QStringLiteral("There were problems during copy!"));
    return;
  }

  if (recorder_) {
    HistoryAction action;
    action.gameFolder = game_.path();
    action.kind = HistoryActionKind::Rename;
    action.items.push_back({ItemKind::Level, newName, OldLevelPath, NewLevelPath, {}});
    recorder_(action);
  }

  QString status = QStringLiteral("The following was renamed: ") + nameText(oldName) +
                   QStringLiteral(" To: ") + nameText(newName);
  if (!result.failedFiles.empty()) {
    // Files of the set that could not be renamed keep their names; say so rather than hide it.
    QStringList names;
    for (const std::string& name : result.failedFiles) names << nameText(name);
    status += QStringLiteral("\nNot renamed: ") + names.join(QStringLiteral(", "));
  }
  showStatus(r, status);

  // Show the renamed folder; its change event puts the new name into OName.
  r.DirectoryListBox2->setDirectory(NewLevelPath);
  r.DirectoryListBox2->Update();

  if (r.CheckBox1->isChecked()) {
    const std::string infoFile = findIgnoringCase(NewLevelPath, textOf(r.NName) + ".inf", EntryKind::File);
    if (!fileExists(infoFile)) throw Exception(textOf(r.NName) + ".inf does not exist!");
    form3_->openRenameSave(infoFile);
  }
}

void RenamerPage::BitBtn3Click() {
  // CANCEL hides itself: the focus goes back to GO.
  const KeepFocus keepFocus(r_.BitBtn2);
  r_.bitbtn1->setVisible(false);
  r_.BitBtn3->setVisible(false);
  showStatus(r_, QString());
}

void RenamerPage::DirectoryListBox2Change() {
  setByteText(r_.OName, relativePath(game_.subWithDelim("levels"), r_.DirectoryListBox2->Directory()));
}

void RenamerPage::DirectoryListBox2Click() { DirectoryListBox2Change(); }

void RenamerPage::CheckBox3Click() {
  auto* list = r_.FileListBox1;
  list->setMask(r_.CheckBox3->isChecked() ? "*.inf" : "*.*");
  list->Update();
}

void RenamerPage::FileListBox1DblClick() {
  auto& r = r_;
  const std::string file = r.FileListBox1->FileName();
  // The editor takes ".inf" exactly, with its case; any other file may only be deleted.
  if (r.CheckBox1->isChecked() && extractFileExt(file) == ".inf") {
    form3_->openFileSave(file);
  } else if (r.CheckBox2->isChecked()) {
    if (r.CheckBox4->isChecked()) {
      form5_->exec();
    } else {
      deleteFile(file);
      r.FileListBox1->Update();
    }
  }
}

}  // namespace pitkit
