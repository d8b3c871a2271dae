// The "Level Renamer" tab of TForm1: the two-step rename (GO asks, OK renames, CANCEL withdraws)
// and the level folder's file view (levels list, file list, editor and delete by double click).
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
#include "platform/Paths.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "renamer/LevelRename.h"
#include "shell/Fonts.h"
#include "shell/Unit1.h"

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

void TForm1::setUpRenamer() {
  auto& r = renamerUi;
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

  connect(r.OName, &QLineEdit::textChanged, this, guarded(this, [this] { ONameChange(); }));
  connect(r.NName, &QLineEdit::textChanged, this, guarded(this, [this] { NNameChange(); }));
  connect(r.BitBtn2, &QPushButton::clicked, this, guarded(this, [this] { BitBtn2Click(); }));
  connect(r.bitbtn1, &QPushButton::clicked, this, guarded(this, [this] { bitbtn1Click(); }));
  connect(r.BitBtn3, &QPushButton::clicked, this, guarded(this, [this] { BitBtn3Click(); }));
  connect(r.DirectoryListBox2, &TDirectoryListBox::directoryChanged, this,
          guarded(this, [this] { DirectoryListBox2Change(); }));
  connect(r.DirectoryListBox2, &QListWidget::itemClicked, this,
          guarded(this, [this] { DirectoryListBox2Click(); }));
  connect(r.CheckBox3, &QCheckBox::toggled, this, guarded(this, [this] { CheckBox3Click(); }));
  connect(r.FileListBox1, &TFileListBox::dblClick, this,
          guarded(this, [this] { FileListBox1DblClick(); }));

  // GO is the tab's cancel button: Escape presses it. A window-wide shortcut owned by GO only
  // fires while GO is visible and enabled, that is while this tab shows and a game is chosen.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), r.BitBtn2);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, r.BitBtn2, &QPushButton::click);
}

// The folder every level name is relative to.
static std::string levelsBase(const std::string& gameDirectory) {
  return gameDirectory + PathDelim + "levels" + PathDelim;
}

void TForm1::ONameChange() { OldLevelPath = levelsBase(GameDirectory) + textOf(renamerUi.OName); }

void TForm1::NNameChange() { NewLevelPath = levelsBase(GameDirectory) + textOf(renamerUi.NName); }

void TForm1::BitBtn2Click() {
  const std::string newName = textOf(renamerUi.NName);
  if (directoryExists(levelsBase(GameDirectory) + newName))
    throw Exception("Level: " + newName + " already exists!");
  renamerUi.bitbtn1->setVisible(true);
  renamerUi.BitBtn3->setVisible(true);
  showStatus(renamerUi, QStringLiteral("Are you sure you want to rename: ") +
                            renamerUi.OName->text() + QStringLiteral(" To: ") +
                            renamerUi.NName->text());
}

void TForm1::bitbtn1Click() {
  auto& r = renamerUi;
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

  QString status = QStringLiteral("The following was renamed: ") + QString::fromStdString(oldName) +
                   QStringLiteral(" To: ") + QString::fromStdString(newName);
  if (!result.failedFiles.empty()) {
    // Files of the set that could not be renamed keep their names; say so rather than hide it.
    QStringList names;
    for (const std::string& name : result.failedFiles) names << QString::fromStdString(name);
    status += QStringLiteral("\nNot renamed: ") + names.join(QStringLiteral(", "));
  }
  showStatus(r, status);

  // Show the renamed folder; its change event puts the new name into OName.
  r.DirectoryListBox2->setDirectory(NewLevelPath);
  r.DirectoryListBox2->Update();

  if (r.CheckBox1->isChecked()) {
    const std::string infoFile = NewLevelPath + PathDelim + textOf(r.NName) + ".inf";
    if (!fileExists(infoFile)) throw Exception(textOf(r.NName) + ".inf does not exist!");
    Form3->openRenameSave(infoFile);
  }
}

void TForm1::BitBtn3Click() {
  renamerUi.bitbtn1->setVisible(false);
  renamerUi.BitBtn3->setVisible(false);
  showStatus(renamerUi, QString());
}

void TForm1::DirectoryListBox2Change() {
  setByteText(renamerUi.OName, relativePath(levelsBase(GameDirectory), renamerUi.DirectoryListBox2->Directory()));
}

void TForm1::DirectoryListBox2Click() { DirectoryListBox2Change(); }

void TForm1::CheckBox3Click() {
  auto* list = renamerUi.FileListBox1;
  list->setMask(renamerUi.CheckBox3->isChecked() ? "*.inf" : "*.*");
  list->Update();
}

void TForm1::FileListBox1DblClick() {
  auto& r = renamerUi;
  const std::string file = r.FileListBox1->FileName();
  // The editor takes ".inf" exactly, with its case; any other file may only be deleted.
  if (r.CheckBox1->isChecked() && extractFileExt(file) == ".inf") {
    Form3->openFileSave(file);
  } else if (r.CheckBox2->isChecked()) {
    if (r.CheckBox4->isChecked()) {
      Form5->exec();
    } else {
      deleteFile(file);
      r.FileListBox1->Update();
    }
  }
}

}  // namespace pitkit
