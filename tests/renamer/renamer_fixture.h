#pragma once
// The renamer tab's window tests share this fixture: a fresh game folder with a levels folder per
// test, the main window started there on the renamer tab, and the modal windows answered.
#include <QListWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "platform/DirectoryListBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "renamer/Unit3.h"
#include "shell/Unit1.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"
#include "support/WindowHarness.h"

namespace pitkit::test {

inline QStringList names(std::initializer_list<const char*> list) {
  QStringList out;
  for (const char* name : list) out << QString::fromUtf8(name);
  return out;
}

class RenamerFixture {
 protected:
  std::unique_ptr<TempDir> tmp_;
  std::string game_;
  std::string levels_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<ModalAnswerer> modals_;

  Ui::TabSheet1& r() { return form_->renamerUi; }

  // A fresh game folder with an empty levels folder; message boxes no test expects fail it.
  void setUp() {
    tmp_ = std::make_unique<TempDir>();
    game_ = realPath(tmp_->path());
    levels_ = game_ + "/levels";
    makeDirs(levels_);
    modals_ = std::make_unique<ModalAnswerer>();
  }

  void tearDown() {
    QCOMPARE(modals_->texts(), QStringList());
    QCOMPARE(modals_->unexpected, 0);
    form_.reset();
    modals_.reset();
    QVERIFY(::chdir("/") == 0);
    tmp_.reset();
  }

  // Starts the program with `game_` as its working directory, on the renamer tab.
  void start() {
    form_ = startShownIn(game_);
    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet1);
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(form_->GameDirectory, game_);
    QVERIFY(r().BitBtn2->isEnabled());
  }

  // Runs `action` and returns the text of the error box it raised ("" when none).
  QString errorFrom(const std::function<void()>& action) {
    QString text;
    modals_->expect([&text](QWidget* w) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        text = box->text();
        box->accept();
      }
    });
    action();
    modals_->expect(nullptr);
    return text;
  }

  void openLevels(const std::string& folder) { r().DirectoryListBox2->setDirectory(folder); }

  // A person's double click on a file of the file list.
  void doubleClickFile(const QString& name) {
    TFileListBox* list = r().FileListBox1;
    const int row = rowOf(list, name);
    QVERIFY2(row >= 0, qPrintable(name));
    list->setCurrentRow(row);
    doubleClickRow(list, name);
  }

  // The next window must be the info-file editor; its Save is pressed, `saved` tells whether it
  // closed.
  void expectEditorSave(bool& saved) {
    saved = false;
    modals_->expect([&saved](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editor->ui.Button3->click();
      saved = editor->isHidden();
    });
  }

  void clickGo(const QString& oldName, const QString& newName) {
    r().OName->setText(oldName);
    r().NName->setText(newName);
    r().BitBtn2->click();
  }
};

}  // namespace pitkit::test
